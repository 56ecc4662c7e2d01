#include "SettingValues.h"

#include <algorithm>
#include <cctype>

namespace tsumugiya {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string TrimmedSetting(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == text.npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::optional<bool> ParseSwitch(std::string_view text) {
    if (text == "1" || SameLetters(text, "true") || SameLetters(text, "on")) {
        return true;
    }
    if (text == "0" || SameLetters(text, "false") || SameLetters(text, "off")) {
        return false;
    }
    return std::nullopt;
}

}  // namespace tsumugiya
