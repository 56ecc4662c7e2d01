#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tsumugiya::win {

// The text of a control, as the control holds it.
std::wstring ItemText(HWND item);

// Holds the memo edit control to the memo rule (FitMemo) after an edit: the
// text and the caret are set to what fits. Returns why something was
// dropped, one reason a line, or nothing when the text kept the rule.
std::optional<std::string> FitMemoControl(HWND memo, std::size_t room);

// UTF-8 of the text; a lone surrogate makes it a byte that is not UTF-8, so
// that no file is named by a look-alike.
std::string StrictUtf8(std::wstring_view text);

}  // namespace tsumugiya::win
