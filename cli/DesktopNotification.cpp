#include "DesktopNotification.h"

#include <libnotify/notify.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace tsumugiya::cli {
namespace {

// GLib would otherwise try to start a bus of its own (autolaunch) where
// none runs, which a hotkey must not wait on.
bool SessionBusReachable() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    return runtime && *runtime &&
           std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", ec);
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

}  // namespace

void ShowDesktopNotification(const std::string& body, bool failed) {
    if (!SessionBusReachable() || !notify_init("tsumugiya-cli")) {
        return;
    }
    std::unique_ptr<NotifyNotification, GObjectUnref> note(
        notify_notification_new("Tsumugiya", body.c_str(), "tsumugiya"));
    notify_notification_set_urgency(note.get(),
                                    failed ? NOTIFY_URGENCY_CRITICAL : NOTIFY_URGENCY_NORMAL);
    GError* error = nullptr;
    if (!notify_notification_show(note.get(), &error)) {
        g_clear_error(&error);  // no service: the command's own output stands
    }
    note.reset();
    notify_uninit();
}

}  // namespace tsumugiya::cli
