#include "DesktopNotification.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tsumugiya::ui {

void SendDesktopNotification(const QDBusConnection& bus, const HotkeyReport& report) {
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("suppress-sound"), true},
        {QStringLiteral("desktop-entry"), QStringLiteral("io.github.tsumugiya")},
    };
    call << QStringLiteral("Tsumugiya") << 0u << QStringLiteral("tsumugiya")
         << QString::fromStdString(report.notificationSummary)
         << QString::fromStdString(report.notificationBody) << QStringList() << hints << -1;
    bus.send(call);
}

}  // namespace tsumugiya::ui
