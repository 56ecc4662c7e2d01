// The cues on a real sound server: a PulseAudio of the test's own, playing
// into a null sink, so that a machine without speakers hears nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <canberra.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>

#include "CanberraCues.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {
namespace {

TEST(CanberraCuesTest, EveryCueIsTakenByARealSoundServer) {
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

    ::setenv("PULSE_SERVER", ("unix:" + socket.string()).c_str(), 1);
    {
        ui::CanberraCues cues;
        for (const Cue cue : {Cue::Done, Cue::AlreadyKept, Cue::Failed}) {
            const int result = cues.Start(cue);
            EXPECT_EQ(result, CA_SUCCESS) << SoundThemeEventId(cue) << ": " << ca_strerror(result);
        }
    }
    ::unsetenv("PULSE_SERVER");
    server.terminate();
    server.waitForFinished(5000);
}

}  // namespace
}  // namespace tsumugiya::test
