// The window's building blocks on their own: dialog units, the title
// status, the X keys of the hotkeys and the cues' child processes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <cerrno>
#include <set>

#include "CueChild.h"
#include "DialogUnits.h"
#include "TitleStatus.h"
#include "X11KeyGrabs.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

TEST(DialogUnitsTest, EdgesAreScaledAndRoundedSoNeighboursStayFlush) {
    const DialogUnits units(7, 13);
    // x: 13*7/4 = 22.75 -> 23; right edge (13+93)*7/4 = 185.5 -> 186
    EXPECT_EQ(units.ToPixels(QRect(13, 14, 93, 32)), QRect(23, 23, 163, 52));
    // Two controls that touch in units touch in pixels.
    EXPECT_EQ(units.ToPixels(QRect(1, 1, 3, 3)).right() + 1, units.ToPixels(QRect(4, 1, 3, 3)).x());
    EXPECT_EQ(units.ToPixelsX(-2), -4);  // -3.5 rounds away from zero
}

TEST(TitleStatusTest, ShowsForAWhileAndANewerNoteRestartsTheClock) {
    using namespace std::chrono_literals;
    QWidget window;
    const auto title = [&] { return window.windowTitle().toStdString(); };
    std::chrono::steady_clock::time_point now;
    TitleStatus status(window, QStringLiteral("Tsumugiya"), 300ms, [&] { return now; });
    status.Show(QStringLiteral("a にバックアップ"));
    EXPECT_EQ(title(), "Tsumugiya : a にバックアップ");
    now += 200ms;
    status.Show(QStringLiteral("b"));
    now += 200ms;      // 400 ms after the first note, 200 after the second
    status.OnTimer();  // a tick that comes early
    EXPECT_EQ(title(), "Tsumugiya : b");
    EXPECT_TRUE(status.IsShowing());
    now += 100ms;
    status.OnTimer();
    EXPECT_EQ(title(), "Tsumugiya");
    EXPECT_FALSE(status.IsShowing());

    status.Show(QStringLiteral("c"));
    status.Show(QString());  // at once
    EXPECT_EQ(title(), "Tsumugiya");
    EXPECT_FALSE(status.IsShowing());
}

// Every key a hotkey may use reaches the X server as a key of its own.
TEST(KeySymTest, EveryKeyNameHasItsOwnKeysym) {
    std::set<std::uint32_t> keysyms;
    for (const std::string_view name : KeyNames()) {
        const auto keysym = KeySymOf(name);
        ASSERT_TRUE(keysym) << name;
        EXPECT_TRUE(keysyms.insert(*keysym).second) << name;
    }
    EXPECT_EQ(KeySymOf("F25"), std::nullopt);
}

// The window's cues: each is played by a child of the window's own program,
// here on a real sound server (a PulseAudio of the test's own, playing into
// a null sink, so that a machine without speakers hears nothing).
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
                    {QString::fromLatin1(kPlayCueOption.data()),
                     QString::fromLatin1(cue.data(), static_cast<qsizetype>(cue.size()))});
        const bool ended = child.waitForFinished(10000);
        EXPECT_TRUE(ended) << cue << " did not end";
        return std::tuple(ended ? child.exitCode() : -1, clock.elapsed(),
                          child.readAll().toStdString());
    };
    for (const Cue cue : kCues) {
        const auto [status, elapsed, output] = play(CueArgument(cue));
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

    ChildProcessCues cues(program);
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
