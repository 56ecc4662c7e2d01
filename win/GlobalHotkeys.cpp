#include "GlobalHotkeys.h"

#include <algorithm>

#include "KeyCodes.h"

namespace tsumugiya::win {
namespace {

// One id per action; an application's ids lie in 0x0000-0xBFFF.
constexpr int kFirstId = 0x5400;

int IdOf(HotkeyAction action) {
    return kFirstId + static_cast<int>(action);
}

}  // namespace

std::vector<HotkeyAction> GlobalHotkeys::Grab(HWND window, const HotkeyBindings& bindings) {
    Release();
    window_ = window;
    std::vector<HotkeyAction> refused;
    for (const auto& [action, chord] : bindings) {
        const auto key = PressedKeyOf(chord);
        // MOD_NOREPEAT: a key held down runs its command once, not again
        // with every repeat.
        if (key && ::RegisterHotKey(window, IdOf(action),
                                    HotkeyModifiersOf(chord.modifiers) | MOD_NOREPEAT, *key)) {
            taken_.push_back(IdOf(action));
        } else {
            refused.push_back(action);
        }
    }
    return refused;
}

void GlobalHotkeys::Release() {
    for (const int id : taken_) {
        ::UnregisterHotKey(window_, id);
    }
    taken_.clear();
}

std::optional<HotkeyAction> GlobalHotkeys::ActionOf(WPARAM id) const {
    for (const HotkeyAction action : kHotkeyActions) {
        if (static_cast<WPARAM>(IdOf(action)) == id &&
            std::find(taken_.begin(), taken_.end(), IdOf(action)) != taken_.end()) {
            return action;
        }
    }
    return std::nullopt;
}

}  // namespace tsumugiya::win
