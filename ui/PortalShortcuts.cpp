// Placeholder so that the window links before the portal client is merged:
// it offers nothing, so the window takes the X11 route.
#include "PortalShortcuts.h"

namespace tsumugiya::ui {

bool PortalShortcuts::IsOffered(const QDBusConnection&) {
    return false;
}

PortalShortcuts::PortalShortcuts(QDBusConnection, QString, QObject* parent) : QObject(parent) {}

void PortalShortcuts::Bind(const HotkeyBindings&) {
    emit Failed(QStringLiteral("org.freedesktop.portal.GlobalShortcuts"));
}

}  // namespace tsumugiya::ui
