#include "DesktopNotification.h"

#include <libnotify/notify.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "OpenedLibrary.h"

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

// libnotify and the GLib under it, loaded only for --notify: linked in,
// they would cost every run of the command several milliseconds before main.
class Libnotify : public OpenedLibrary {
  public:
    Libnotify() : OpenedLibrary("libnotify.so.4") {
        Find(init, "notify_init");
        Find(uninit, "notify_uninit");
        Find(create, "notify_notification_new");
        Find(setUrgency, "notify_notification_set_urgency");
        Find(setHint, "notify_notification_set_hint");
        Find(setStringHint, "notify_notification_set_hint_string");
        Find(boolean, "g_variant_new_boolean");
        Find(show, "notify_notification_show");
        Find(unref, "g_object_unref");
        Find(clearError, "g_clear_error");
        Find(serverCaps, "notify_get_server_caps");
        Find(freeList, "g_list_free_full");
        Find(free, "g_free");
        Find(escape, "g_markup_escape_text");
    }

    decltype(&notify_init) init = nullptr;
    decltype(&notify_uninit) uninit = nullptr;
    decltype(&notify_notification_new) create = nullptr;
    decltype(&notify_notification_set_urgency) setUrgency = nullptr;
    decltype(&notify_notification_set_hint) setHint = nullptr;
    decltype(&notify_notification_set_hint_string) setStringHint = nullptr;
    decltype(&g_variant_new_boolean) boolean = nullptr;
    decltype(&notify_notification_show) show = nullptr;
    decltype(&g_object_unref) unref = nullptr;
    decltype(&g_clear_error) clearError = nullptr;
    decltype(&notify_get_server_caps) serverCaps = nullptr;
    decltype(&g_list_free_full) freeList = nullptr;
    decltype(&g_free) free = nullptr;
    decltype(&g_markup_escape_text) escape = nullptr;
};

// A server that renders markup in the body would cut a name holding < or &,
// or show it wrong: the body is escaped for it, and only for it.
std::string BodyFor(const Libnotify& notify, const std::string& text) {
    GList* caps = notify.serverCaps();
    bool markup = false;
    for (const GList* cap = caps; cap; cap = cap->next) {
        markup = markup || std::string_view(static_cast<const char*>(cap->data)) == "body-markup";
    }
    notify.freeList(caps, notify.free);
    if (!markup) {
        return text;
    }
    const auto free = [&notify](gchar* p) { notify.free(p); };
    const std::unique_ptr<gchar, decltype(free)> escaped(notify.escape(text.c_str(), -1), free);
    return escaped.get();
}

}  // namespace

void ShowDesktopNotification(const std::string& body, Cue cue, bool soundPlayedApart) {
    if (!SessionBusReachable()) {
        return;
    }
    const Libnotify notify;
    if (!notify || !notify.init("tsumugiya-cli")) {
        return;  // no libnotify: the command's own output stands
    }
    const auto unref = [&notify](NotifyNotification* object) { notify.unref(object); };
    std::unique_ptr<NotifyNotification, decltype(unref)> note(
        notify.create("Tsumugiya", BodyFor(notify, body).c_str(), "tsumugiya"), unref);
    notify.setUrgency(note.get(),
                      cue == Cue::Failed ? NOTIFY_URGENCY_CRITICAL : NOTIFY_URGENCY_NORMAL);
    if (soundPlayedApart) {
        notify.setHint(note.get(), "suppress-sound", notify.boolean(TRUE));
    } else {
        notify.setStringHint(note.get(), "sound-name", std::string(SoundThemeEventId(cue)).c_str());
    }
    GError* error = nullptr;
    if (!notify.show(note.get(), &error)) {
        notify.clearError(&error);  // no service: the command's own output stands
    }
    note.reset();
    notify.uninit();
}

}  // namespace tsumugiya::cli
