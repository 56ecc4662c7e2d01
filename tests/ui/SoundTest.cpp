// The window's cues: each is played by a child of the window's own program,
// here on a real sound server (a PulseAudio of the test's own, playing into
// a null sink, so that a machine without speakers hears nothing).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <sstream>

#include "CueChild.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {
namespace {

constexpr Cue kCues[] = {Cue::Done, Cue::AlreadyKept, Cue::Failed};

QString Argument(Cue cue) {
    return QString::fromLatin1(ui::CueArgument(cue).data(),
                               static_cast<qsizetype>(ui::CueArgument(cue).size()));
}

TEST(CueChildTest, PlaysEachCueWithoutADisplayAndEndsOnceItWasHeard) {
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (pulseaudio.isEmpty()) {
        GTEST_SKIP() << "pulseaudio is not on PATH (Debian package pulseaudio)";
    }
    const TempFolder runtime;
    ::chmod(runtime.path.c_str(), 0700);
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.path));
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(runtime.path));
    server.setProcessEnvironment(environment);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(pulseaudio, {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                              QStringLiteral("--exit-idle-time=-1"),
                              QStringLiteral("--load=module-native-protocol-unix"),
                              QStringLiteral("--load=module-null-sink")});
    const fs::path socket = runtime / "pulse" / "native";
    if (!QTest::qWaitFor(
            [&] { return fs::exists(socket) || server.state() == QProcess::NotRunning; }, 10000) ||
        server.state() == QProcess::NotRunning) {
        GTEST_SKIP() << "no sound server could start: " << server.readAll().toStdString();
    }

    // A display that cannot be reached: a child that started the toolkit
    // would end at once, in failure.
    environment.insert(QStringLiteral("PULSE_SERVER"),
                       QStringLiteral("unix:") + QString::fromStdString(socket.string()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":9999"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const auto play = [&](const QStringList& arguments, QElapsedTimer& clock) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        clock.start();
        child.start(QStringLiteral(TSUMUGIYA_WINDOW), arguments);
        const bool ended = child.waitForFinished(10000);
        EXPECT_TRUE(ended) << arguments.join(' ').toStdString() << " did not end";
        return std::pair(ended ? child.exitCode() : -1, child.readAll().toStdString());
    };
    const QString option = QString::fromLatin1(ui::kPlayCueOption.data());
    for (const Cue cue : kCues) {
        QElapsedTimer clock;
        const auto [status, output] = play({option, Argument(cue)}, clock);
        EXPECT_EQ(status, 0) << SoundThemeEventId(cue) << ": " << output;
        // The theme's sounds last longer than this; a child that ended
        // sooner cut its cue short.
        EXPECT_GE(clock.elapsed(), 300) << SoundThemeEventId(cue);
    }
    QElapsedTimer clock;
    EXPECT_EQ(play({option, QStringLiteral("bell")}, clock).first, 2);
    server.terminate();
    server.waitForFinished(5000);
}

// The children are recorded by a script standing in for the program: each
// writes its arguments, its stdin and its folder.
TEST(ChildProcessCuesTest, StartsOneDetachedChildPerCueAndLeavesNoneToReap) {
    const TempFolder folder;
    const fs::path program = folder / "tsumugiya";
    const fs::path record = folder / "children";
    WriteFile(program,
              "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$*\" \"$(readlink /proc/$$/fd/0)\" "
              "\"$(pwd)\" >>'" +
                  record.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);

    ui::ChildProcessCues cues(program);
    for (const Cue cue : kCues) {
        cues.Play(cue);
    }
    Texts lines;
    // The lines are compared below, whether or not all three came.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            std::istringstream text(ReadFile(record).value_or(""));
            lines.clear();
            for (std::string line; std::getline(text, line);) {
                lines.push_back(line);
            }
            return lines.size() >= 3;
        },
        5000));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (Texts{"--play-cue done|/dev/null|/", "--play-cue failed|/dev/null|/",
                            "--play-cue kept|/dev/null|/"}));
    // Qt's middle child is gone and the cue's child belongs to init: this
    // process has no child left, zombie or not.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace tsumugiya::test
