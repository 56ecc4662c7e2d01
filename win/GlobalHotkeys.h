#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "Hotkeys.h"

namespace tsumugiya::win {

// The keys taken from the system for one window, which gets WM_HOTKEY for
// them whatever window has the focus; given back when this goes.
class GlobalHotkeys {
  public:
    GlobalHotkeys() = default;
    GlobalHotkeys(const GlobalHotkeys&) = delete;
    GlobalHotkeys& operator=(const GlobalHotkeys&) = delete;
    ~GlobalHotkeys() { Release(); }

    // Gives back what was taken, then takes these keys for the window; the
    // actions whose key another program holds (or that has no key code).
    std::vector<HotkeyAction> Grab(HWND window, const HotkeyBindings& bindings);
    void Release();
    bool Any() const { return !taken_.empty(); }

    // The action of WM_HOTKEY's id; absent for an id this did not register
    // (the system's own, IDHOT_SNAPDESKTOP and IDHOT_SNAPWINDOW, are negative).
    std::optional<HotkeyAction> ActionOf(WPARAM id) const;

  private:
    HWND window_ = nullptr;
    std::vector<int> taken_;  // the ids registered on window_
};

}  // namespace tsumugiya::win
