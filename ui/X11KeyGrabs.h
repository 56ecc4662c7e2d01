#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "Hotkeys.h"

struct xcb_connection_t;

namespace tsumugiya::ui {

// The X keysym of one of KeyNames(); absent for a name it does not know.
std::optional<std::uint32_t> KeySymOf(std::string_view key);

// Global keys on an X11 display: passive grabs on the root window, so that
// the keys come to this program whatever window has the focus, which keeps
// it. Held while alive; a key held down acts once.
class X11KeyGrabs : public QAbstractNativeEventFilter {
  public:
    X11KeyGrabs(xcb_connection_t& connection, std::function<void(HotkeyAction)> pressed);
    ~X11KeyGrabs() override;
    X11KeyGrabs(const X11KeyGrabs&) = delete;
    X11KeyGrabs& operator=(const X11KeyGrabs&) = delete;

    // Lets go of the keys taken before, then takes these; returns the
    // actions whose key another client holds or the keyboard lacks.
    std::vector<HotkeyAction> Grab(const HotkeyBindings& bindings);
    void ReleaseAll();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct Taken {
        HotkeyAction action;
        std::uint8_t keycode;
        std::uint16_t modifiers;  // X modifier mask, lock keys aside
    };

    // Every grab of one chord, or none when any is refused.
    std::optional<std::vector<Taken>> GrabChord(HotkeyAction action, const KeyChord& chord);
    void Ungrab(const Taken& taken);

    xcb_connection_t& connection_;
    std::uint32_t root_;
    std::function<void(HotkeyAction)> pressed_;
    std::vector<Taken> taken_;
    std::optional<std::uint8_t> down_;  // the grabbed key held now, until its release
    // The key that last came up, and when.
    std::optional<std::pair<std::uint8_t, std::uint32_t>> released_;
};

}  // namespace tsumugiya::ui
