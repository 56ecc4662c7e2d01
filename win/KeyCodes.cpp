#include "KeyCodes.h"

#include <commctrl.h>

#include <array>
#include <utility>

namespace tsumugiya::win {
namespace {

// The names that are not a letter, a digit or a function key.
constexpr std::array<std::pair<std::string_view, UINT>, 13> kNamedKeys{{
    {"Ins", VK_INSERT},
    {"Del", VK_DELETE},
    {"Home", VK_HOME},
    {"End", VK_END},
    {"PgUp", VK_PRIOR},
    {"PgDown", VK_NEXT},
    {"Left", VK_LEFT},
    {"Up", VK_UP},
    {"Right", VK_RIGHT},
    {"Down", VK_DOWN},
    {"Space", VK_SPACE},
    {"Pause", VK_PAUSE},
    {"Print", VK_SNAPSHOT},
}};

// The keys the hotkey control must mark as extended, or it names them after
// the number pad's keys of the same code ("Num 0" for Ins).
bool IsExtendedKey(UINT virtualKey) {
    return (virtualKey >= VK_PRIOR && virtualKey <= VK_DOWN) || virtualKey == VK_INSERT ||
           virtualKey == VK_DELETE;
}

}  // namespace

std::optional<UINT> VirtualKeyOf(std::string_view key) {
    if (key.size() == 1 && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= '0' && key[0] <= '9'))) {
        return static_cast<UINT>(key[0]);  // letters and digits are their own codes
    }
    if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F') {
        int number = 0;
        for (const char digit : key.substr(1)) {
            if (digit < '0' || digit > '9') {
                return std::nullopt;
            }
            number = number * 10 + (digit - '0');
        }
        if (number >= 1 && number <= 24 && key[1] != '0') {
            return static_cast<UINT>(VK_F1 + number - 1);
        }
        return std::nullopt;
    }
    for (const auto& [name, code] : kNamedKeys) {
        if (name == key) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<std::string> KeyNameOf(UINT virtualKey) {
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        return std::string(1, static_cast<char>(virtualKey));
    }
    if (virtualKey >= VK_F1 && virtualKey <= VK_F24) {
        return "F" + std::to_string(virtualKey - VK_F1 + 1);
    }
    for (const auto& [name, code] : kNamedKeys) {
        if (code == virtualKey) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

std::optional<UINT> PressedKeyOf(const KeyChord& chord) {
    const auto key = VirtualKeyOf(chord.key);
    if (key == VK_PAUSE && (chord.modifiers & kModCtrl)) {
        return VK_CANCEL;
    }
    return key;
}

UINT HotkeyModifiersOf(unsigned modifiers) {
    UINT bits = 0;
    bits |= (modifiers & kModCtrl) ? MOD_CONTROL : 0;
    bits |= (modifiers & kModAlt) ? MOD_ALT : 0;
    bits |= (modifiers & kModShift) ? MOD_SHIFT : 0;
    bits |= (modifiers & kModMeta) ? MOD_WIN : 0;
    return bits;
}

WORD HotkeyControlValueOf(const KeyChord& chord) {
    const auto key = PressedKeyOf(chord);
    if (!key) {
        return 0;
    }
    BYTE flags = 0;
    flags |= (chord.modifiers & kModCtrl) ? HOTKEYF_CONTROL : 0;
    flags |= (chord.modifiers & kModAlt) ? HOTKEYF_ALT : 0;
    flags |= (chord.modifiers & kModShift) ? HOTKEYF_SHIFT : 0;
    flags |= IsExtendedKey(*key) ? HOTKEYF_EXT : 0;
    return MAKEWORD(static_cast<BYTE>(*key), flags);
}

std::optional<KeyChord> ChordOfHotkeyControl(WORD value) {
    const BYTE flags = HIBYTE(value);
    const UINT code = LOBYTE(value);
    auto key = code == VK_CANCEL && (flags & HOTKEYF_CONTROL) ? std::optional<std::string>("Pause")
                                                              : KeyNameOf(code);
    if (!key) {
        return std::nullopt;
    }
    KeyChord chord{0, std::move(*key)};
    chord.modifiers |= (flags & HOTKEYF_CONTROL) ? unsigned{kModCtrl} : 0U;
    chord.modifiers |= (flags & HOTKEYF_ALT) ? unsigned{kModAlt} : 0U;
    chord.modifiers |= (flags & HOTKEYF_SHIFT) ? unsigned{kModShift} : 0U;
    return chord;
}

}  // namespace tsumugiya::win
