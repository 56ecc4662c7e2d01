#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tsumugiya {

// The memo field's text after an edit, held to the rule every backup name's
// memo follows (MemoProblem): characters no file name can hold are dropped
// wherever they are (the memo already there has none), and what does not fit
// goes from before the caret, never from the memo already there. Both
// windows' edit controls hold UTF-16, so the text and the caret are in
// UTF-16 units; the room is in those of platform::NameLength.
struct MemoFit {
    std::u16string text;
    std::size_t caret = 0;
    std::string reasons;  // why, in the user's words, one reason a line
    // False when the memo already there is longer than the room on its own.
    bool fits = true;
};

// Absent when the text keeps the rule as it is.
std::optional<MemoFit> FitMemo(std::u16string_view text, std::size_t caret, std::size_t room);

// UTF-8 of the text; a lone surrogate, which no UTF-8 can carry, comes out
// as a byte that is not UTF-8, so the rule refuses it.
std::string StrictUtf8(std::u16string_view text);

}  // namespace tsumugiya
