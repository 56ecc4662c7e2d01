#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya {

// What a global hotkey does, in the order of the settings and the dialog.
enum class HotkeyAction { Backup, QuickBackup, Restore };
inline constexpr std::array<HotkeyAction, 3> kHotkeyActions{
    HotkeyAction::Backup, HotkeyAction::QuickBackup, HotkeyAction::Restore};

// Modifier bits of a key chord.
enum KeyModifier : unsigned {
    kModCtrl = 1,
    kModAlt = 2,
    kModShift = 4,
    kModMeta = 8,  // the Windows or Super key
};

// One key with its modifiers, as the settings file writes it ("Ctrl+F5").
// The key is one of KeyNames(); each window maps it to its system's code.
struct KeyChord {
    unsigned modifiers = 0;
    std::string key;

    bool operator==(const KeyChord&) const = default;
};

// The keys a hotkey may use, spelled as the settings file writes them:
// F1-F24, A-Z, 0-9, then Ins, Del, Home, End, PgUp, PgDown, Left, Up, Right,
// Down, Space, Pause, Print.
const std::vector<std::string_view>& KeyNames();

// Reads "Ctrl+Shift+F5" (modifiers in any order and case; "Control", "Win"
// and "Super" are taken too). Absent for anything else, and for a chord
// without Ctrl, Alt or Meta: a bare or shifted key would be stolen from
// every program, the game first.
std::optional<KeyChord> ParseKeyChord(std::string_view text);
// "Ctrl+Alt+Shift+Meta+KEY", the modifiers always in that order.
std::string KeyChordText(const KeyChord& chord);

// The [Hotkeys] section of the settings file.
struct HotkeySettings {
    bool enabled = true;  // enabled=0 turns every hotkey off
    bool sound = true;    // play a cue for each hotkey's result
    // By action, in kHotkeyActions' order; absent turns that one off.
    std::array<std::optional<KeyChord>, 3> keys{KeyChord{kModCtrl, "F5"}, KeyChord{kModCtrl, "F6"},
                                                KeyChord{kModCtrl, "F9"}};
    // The values that could not be read, each named as the user should
    // read it; those hotkeys are off, and the file keeps the values.
    std::vector<std::string> problems;

    const std::optional<KeyChord>& Key(HotkeyAction action) const {
        return keys[static_cast<std::size_t>(action)];
    }
    std::optional<KeyChord>& Key(HotkeyAction action) {
        return keys[static_cast<std::size_t>(action)];
    }
};

// The keys to take from the system, by action: none while the hotkeys are
// off, and none for an action whose key is off or shared with an earlier one.
using HotkeyBindings = std::vector<std::pair<HotkeyAction, KeyChord>>;
HotkeyBindings ActiveBindings(const HotkeySettings& settings);

// The section from the settings file's text; defaults for what is missing.
HotkeySettings ReadHotkeySettings(std::string_view settingsText);
// The key=value pairs that write the settings back (problems aside).
std::vector<std::pair<std::string, std::string>> HotkeySettingValues(
    const HotkeySettings& settings);
inline constexpr std::string_view kHotkeysSection = "Hotkeys";

// The name the dialog and the messages give an action.
std::string_view ActionLabel(HotkeyAction action);

}  // namespace tsumugiya
