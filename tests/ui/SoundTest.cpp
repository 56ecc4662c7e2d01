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
#include <cerrno>

#include "CueChild.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {
namespace {

constexpr Cue kCues[] = {Cue::Done, Cue::AlreadyKept, Cue::Failed};

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
    // The child's exit status, how long it ran, and what it said.
    const auto play = [&](std::string_view cue) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        child.start(QStringLiteral(TSUMUGIYA_WINDOW),
                    {QString::fromLatin1(ui::kPlayCueOption.data()),
                     QString::fromLatin1(cue.data(), static_cast<qsizetype>(cue.size()))});
        const bool ended = child.waitForFinished(10000);
        EXPECT_TRUE(ended) << cue << " did not end";
        return std::tuple(ended ? child.exitCode() : -1, clock.elapsed(),
                          child.readAll().toStdString());
    };
    for (const Cue cue : kCues) {
        const auto [status, elapsed, output] = play(ui::CueArgument(cue));
        // The theme's sounds last longer than 300 ms; a child that ended
        // sooner cut its cue short.
        EXPECT_EQ(std::pair(status, elapsed >= 300), std::pair(0, true))
            << SoundThemeEventId(cue) << " after " << elapsed << " ms: " << output;
    }
    EXPECT_EQ(std::get<0>(play("bell")), 2);
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
    const auto lines = [&] {
        QStringList said =
            QString::fromStdString(ReadFile(record).value_or("")).split('\n', Qt::SkipEmptyParts);
        said.sort();
        return said;
    };
    // Compared whether or not all three came.
    static_cast<void>(QTest::qWaitFor([&] { return lines().size() >= 3; }, 5000));
    EXPECT_EQ(lines(), (QStringList{"--play-cue done|/dev/null|/", "--play-cue failed|/dev/null|/",
                                    "--play-cue kept|/dev/null|/"}));
    // Qt's middle child is gone and the cue's child belongs to init: this
    // process has no child left, zombie or not.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace tsumugiya::test
