// The desktop portal client against the stand-in portal (tests/smoke/
// portal-standin.py), and the notifications against a recording service
// (tests/cli/notify-listener.py), each case on a private bus of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "DesktopNotification.h"
#include "Messages.h"
#include "PortalShortcuts.h"
#include "support/TestSupport.h"

namespace tsumugiya::ui {
namespace {

using test::TempFolder;

// The client, and what it has said so far.
struct Client {
    explicit Client(const QDBusConnection& bus)
        : portal(bus, QStringLiteral("io.github.tsumugiya")) {}
    PortalShortcuts portal;
    QSignalSpy bound{&portal, &PortalShortcuts::Bound};
    QSignalSpy activated{&portal, &PortalShortcuts::Activated};
    QSignalSpy failed{&portal, &PortalShortcuts::Failed};
};

// Each case on a dbus-daemon of its own, that can start nothing: a bus with
// no portal must not reach for one installed on the machine.
class PortalShortcutsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
            QProcess::execute(QStringLiteral("/usr/bin/python3"),
                              {QStringLiteral("-c"), QStringLiteral("import dbus, gi")}) != 0) {
            GTEST_SKIP() << "needs dbus-daemon, python3-dbus and python3-gi";
        }
        const auto config = folder_ / "bus.conf";
        test::WriteFile(config,
                        "<busconfig><type>session</type><listen>unix:dir=" + folder_.path.string() +
                            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                            "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                            "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                            "</policy></busconfig>");
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                       QStringLiteral("--config-file=") + QString::fromStdString(config)});
        ASSERT_TRUE(daemon_.waitForReadyRead(5000)) << "dbus-daemon did not start";
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-test"));
        for (QProcess* process : {&standIn_, &daemon_}) {
            process->kill();
            process->waitForFinished();
        }
    }
    QDBusConnection Bus() const {
        return QDBusConnection::connectToBus(address_, QStringLiteral("portal-test"));
    }

    void StartStandIn(QStringList options = {}) {
        StartService(QStringList{QStringLiteral(TSUMUGIYA_PORTAL_STANDIN), QStringLiteral("--log"),
                                 QString::fromStdString(Log()), QStringLiteral("--lifetime"),
                                 QStringLiteral("60")} +
                     options);
    }
    void StartService(const QStringList& arguments) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        standIn_.setProcessEnvironment(environment);
        standIn_.start(QStringLiteral("/usr/bin/python3"), arguments);
        ASSERT_TRUE(standIn_.waitForReadyRead(10000)) << "the stand-in service did not start";
    }
    std::string Log() { return folder_ / "calls.log"; }
    // Presses a bound key, as far as the portal is concerned; what the
    // client then says was pressed.
    std::optional<HotkeyAction> Press(Client& client, const char* id) {
        TellStandIn(QStringLiteral("Activate"), {QString::fromLatin1(id)});
        if (!client.activated.wait(5000)) {
            return std::nullopt;
        }
        return client.activated.takeFirst().at(0).value<HotkeyAction>();
    }
    void TellStandIn(const QString& method, const QVariantList& arguments = {}) {
        auto call =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                           QStringLiteral("io.github.tsumugiya.Test"), method);
        call.setArguments(arguments);
        const auto reply = Bus().call(call);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    TempFolder folder_;
    QProcess daemon_;
    QProcess standIn_;
    QString address_;
};

// Keys the desktop takes back, by closing the session or by going away, are
// said; the next Bind asks for them again, on a new session.
TEST_F(PortalShortcutsTest, BindsAndReceivesTheKeysAndAsksAgainForKeysTheDesktopEnded) {
    StartStandIn();
    ASSERT_TRUE(PortalShortcuts::IsOffered(Bus()));
    Client client(Bus());
    auto& [portal, bound, activated, failed] = client;
    portal.Bind({{HotkeyAction::Backup, {kModCtrl, "F5"}},
                 {HotkeyAction::QuickBackup, {kModCtrl | kModAlt | kModShift | kModMeta, "PgDown"}},
                 {HotkeyAction::Restore, {kModAlt, "Q"}}});
    ASSERT_TRUE(bound.wait(5000)) << failed.value(0).value(0).toString().toStdString();
    // What the desktop says, not our own spelling of the chords.
    EXPECT_EQ(bound.at(0).at(0).toStringList(),
              QStringList({"バックアップ: Ctrl+F5",
                           "固定名 バックアップ: Ctrl+Alt+Shift+Meta+Page_Down", "戻す: Alt+q"}));
    EXPECT_EQ(Press(client, "quick"), HotkeyAction::QuickBackup);
    const HotkeyBindings restore{{HotkeyAction::Restore, {kModCtrl, "F9"}}};
    portal.Bind(restore);  // on the same session
    ASSERT_TRUE(bound.wait(5000));
    EXPECT_EQ(Press(client, "restore"), HotkeyAction::Restore);

    TellStandIn(QStringLiteral("Close"));
    ASSERT_TRUE(failed.wait(5000));
    portal.Bind(restore);
    ASSERT_TRUE(bound.wait(5000));
    EXPECT_EQ(Press(client, "restore"), HotkeyAction::Restore);
    EXPECT_EQ(test::ReadFile(Log()),
              "Register io.github.tsumugiya\n"
              "CreateSession\n"
              "BindShortcuts backup=CTRL+F5 quick=CTRL+ALT+SHIFT+LOGO+Page_Down restore=ALT+q\n"
              "Activate quick\n"
              "BindShortcuts restore=CTRL+F9\n"
              "Activate restore\n"
              "Close\n"
              "CreateSession\n"
              "BindShortcuts restore=CTRL+F9\n"
              "Activate restore\n");

    standIn_.kill();
    ASSERT_TRUE(failed.wait(5000));
    const auto ended = messages::PortalShortcutsFailed(messages::kPortalShortcutsEnded);
    EXPECT_EQ(std::tuple(failed.count(), failed.at(0).at(0).toString().toStdString(),
                         failed.at(1).at(0).toString().toStdString()),
              std::tuple(2, ended, ended));
}

TEST_F(PortalShortcutsTest, ADeclinedBindIsFailedWithTheReason) {
    StartStandIn({QStringLiteral("--decline")});
    Client client(Bus());
    auto& [portal, bound, activated, failed] = client;
    portal.Bind({{HotkeyAction::Backup, {kModCtrl, "F5"}}});
    ASSERT_TRUE(failed.wait(5000));
    EXPECT_EQ(failed.at(0).at(0).toString().toStdString(),
              messages::PortalShortcutsFailed(messages::kPortalShortcutsDeclined));
    EXPECT_EQ(bound.count(), 0);
}

TEST_F(PortalShortcutsTest, NotOfferedOnABusWithoutAPortalAndAnsweredAtOnce) {
    const auto bus = Bus();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(PortalShortcuts::IsOffered(bus));
    // Well under the wait for a portal that is slow to start.
    EXPECT_LT(timer.elapsed(), 250);
}

// A name holding markup reaches a plain server as it is, and one that
// renders markup escaped.
TEST_F(PortalShortcutsTest, ANotificationsBodyIsEscapedOnlyForAServerThatRendersMarkup) {
    const auto notes = folder_ / "notes";
    const auto capabilities = folder_ / "capabilities";
    StartService({QStringLiteral(TSUMUGIYA_NOTIFY_LISTENER), QString::fromStdString(notes),
                  QString::fromStdString(capabilities)});
    const HotkeyReport report{Cue::Done, "", "バックアップ", "<b>&c.dat.save.temp にバックアップ"};
    const auto bodies = [&notes] {
        QStringList said;
        for (const auto& line :
             QString::fromStdString(test::ReadFile(notes).value_or("")).split('\n')) {
            if (!line.isEmpty()) {
                said << QJsonDocument::fromJson(line.toUtf8()).array().at(2).toString();
            }
        }
        return said;
    };
    SendDesktopNotification(Bus(), report);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodies().size() == 1; }, 5000));
    test::WriteFile(capabilities, "body-markup");
    SendDesktopNotification(Bus(), report);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodies().size() == 2; }, 5000));
    EXPECT_EQ(bodies(), QStringList({"<b>&c.dat.save.temp にバックアップ",
                                     "&lt;b&gt;&amp;c.dat.save.temp にバックアップ"}));
}

}  // namespace
}  // namespace tsumugiya::ui

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
