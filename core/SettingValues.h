#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsumugiya {

// How the settings file's hand-editable values are read, the same in every
// section.

// The text without spaces and tabs around it.
std::string TrimmedSetting(std::string_view text);

// "0" and "1" (and the words a hand-edited file may hold) as a switch.
std::optional<bool> ParseSwitch(std::string_view text);

// True when both are the same ASCII text but for case.
bool SameLetters(std::string_view a, std::string_view b);

}  // namespace tsumugiya
