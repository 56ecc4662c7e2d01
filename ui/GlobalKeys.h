#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "Hotkeys.h"

namespace tsumugiya::ui {

// Keys this program gets from the desktop while another window has the focus.
class GlobalKeys {
  public:
    struct Events {
        std::function<void(HotkeyAction)> pressed;
        // What the desktop says of the keys (the triggers it bound, or why
        // not), for the title.
        std::function<void(const QString&)> said;
    };

    virtual ~GlobalKeys() = default;
    // Takes these keys, letting go of those taken before; returns the
    // actions whose key is refused now (a desktop that answers later says so
    // through Events::said).
    virtual std::vector<HotkeyAction> Grab(const HotkeyBindings& bindings) = 0;
    // Lets the keys reach this program's own windows, where a dialog
    // records them; false where the desktop owns them and nothing changes.
    // Grab takes them back.
    virtual bool LetGo() { return false; }
};

using GlobalKeysSource = std::function<std::unique_ptr<GlobalKeys>(GlobalKeys::Events)>;

// The desktop portal where it offers global shortcuts, else key grabs on an
// X11 display; null where neither is there.
std::unique_ptr<GlobalKeys> SystemGlobalKeys(GlobalKeys::Events events);

}  // namespace tsumugiya::ui
