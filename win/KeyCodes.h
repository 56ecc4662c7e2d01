#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "Hotkeys.h"

namespace tsumugiya::win {

// The virtual-key code of one of KeyNames(); absent for any other name.
std::optional<UINT> VirtualKeyOf(std::string_view key);
// The name KeyNames() gives a virtual-key code; absent for a key a hotkey
// may not use.
std::optional<std::string> KeyNameOf(UINT virtualKey);

// The code the system reports for the chord's key: Ctrl turns Pause into
// Break (VK_CANCEL).
std::optional<UINT> PressedKeyOf(const KeyChord& chord);

// RegisterHotKey's MOD_ bits for a chord's modifiers.
UINT HotkeyModifiersOf(unsigned modifiers);

// The hotkey control's value (HKM_SETHOTKEY / HKM_GETHOTKEY): the key code
// in the low byte, HOTKEYF_ bits in the high one. The control has no bit for
// the Windows key: a chord with it shows without it.
WORD HotkeyControlValueOf(const KeyChord& chord);
// What the control shows as a chord; absent for a key no hotkey may use.
// A chord without Ctrl or Alt comes back as it is: ParseKeyChord's rule
// decides whether it may be a hotkey.
std::optional<KeyChord> ChordOfHotkeyControl(WORD value);

}  // namespace tsumugiya::win
