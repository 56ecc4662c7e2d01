#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tsumugiya::win {

// The memo field's text after an edit, held to the rule every backup name's
// memo follows (MemoProblem), as the Linux window holds it: characters no
// file name can hold are dropped wherever they are (the memo already there
// has none), and what does not fit goes from before the caret, never from
// the memo already there.
struct MemoFit {
    std::wstring text;
    int caret = 0;
    std::string reasons;  // why, in the user's words, one reason a line
};

// Absent when the text keeps the rule as it is. room is in the units of
// platform::NameLength (UTF-16 units on Windows).
std::optional<MemoFit> FitMemo(std::wstring_view text, int caret, std::size_t room);

// UTF-8 of the text; a lone surrogate, which no UTF-8 can carry, comes out
// as a byte that is not UTF-8, so the rule refuses it.
std::string StrictUtf8(std::wstring_view text);

}  // namespace tsumugiya::win
