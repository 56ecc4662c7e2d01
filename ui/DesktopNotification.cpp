#include "DesktopNotification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace tsumugiya::ui {
namespace {

QDBusMessage NotificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

void Notify(const QDBusConnection& bus, const HotkeyReport& report, bool rendersMarkup) {
    const QVariantMap hints{
        {QStringLiteral("suppress-sound"), true},
        {QStringLiteral("desktop-entry"), QStringLiteral("io.github.tsumugiya")},
    };
    // A server that renders markup would cut a name holding < or &, or show
    // it wrong: the body is escaped for it, and only for it.
    const QString body = QString::fromStdString(report.notificationBody);
    QDBusMessage call = NotificationsCall(QStringLiteral("Notify"));
    call << QStringLiteral("Tsumugiya") << 0u << QStringLiteral("tsumugiya")
         << QString::fromStdString(report.notificationSummary)
         << (rendersMarkup ? body.toHtmlEscaped() : body) << QStringList() << hints << -1;
    bus.send(call);
}

}  // namespace

void SendDesktopNotification(const QDBusConnection& bus, const HotkeyReport& report) {
    if (!bus.isConnected()) {
        return;
    }
    // Asked each time: the desktop's server may have been replaced since.
    auto* asked = new QDBusPendingCallWatcher(
        bus.asyncCall(NotificationsCall(QStringLiteral("GetCapabilities"))));
    QObject::connect(asked, &QDBusPendingCallWatcher::finished,
                     [bus, report](QDBusPendingCallWatcher* answer) {
                         const QDBusPendingReply<QStringList> capabilities = *answer;
                         Notify(bus, report,
                                capabilities.isValid() &&
                                    capabilities.value().contains(QStringLiteral("body-markup")));
                         answer->deleteLater();
                     });
}

}  // namespace tsumugiya::ui
