// The memo field's rule as both windows apply it to each edit.

#include <gtest/gtest.h>

#include <tuple>

#include "BackupNames.h"
#include "MemoFit.h"
#include "platform/Platform.h"

namespace tsumugiya::test {
namespace {

// Characters no file name holds are dropped wherever they are; what does not
// fit goes from what was just typed before the caret, in whole characters,
// never from the memo already there.
TEST(MemoFitTest, DropsWhatNoFileNameHoldsAndCutsOnlyWhatWasJustTyped) {
    EXPECT_FALSE(FitMemo(u"城の前", 3, 100));
    // A pair is one character; a lone surrogate has no UTF-8 and names no file.
    EXPECT_EQ(StrictUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const std::size_t face = platform::NameLength("\xF0\x9F\x98\x80");
    // An edit (text, caret, room), then the field after it and whether the memo fits.
    const std::tuple<std::u16string, std::size_t, std::size_t, std::u16string, std::size_t, bool>
        cases[] = {
            {u"a/b\\c", 4, 100, u"abc", 2, true},  // the caret after the backslash
            {u"a\xD800z", 3, 100, u"az", 2, true},
            {u"AB0123CD", 6, 6, u"AB01CD", 4, true},  // "0123" was just typed
            {u"\U0001F600\U0001F600z", 4, face + 1, u"\U0001F600z", 2, true},
            {u"ab/cdef", 7, 4, u"abcd", 4, true},
            {u"xabcdef", 1, 3, u"abcdef", 0, false},  // the memo alone is too long
        };
    for (const auto& [text, caret, room, kept, keptCaret, fits] : cases) {
        const auto fit = FitMemo(text, caret, room);
        ASSERT_TRUE(fit) << testing::PrintToString(text);
        EXPECT_EQ(std::tuple(fit->text, fit->caret, fit->fits), std::tuple(kept, keptCaret, fits));
    }
    // Why, one reason a line: refused, too long, or both.
    EXPECT_EQ(FitMemo(u"a/b\\c", 4, 100).value().reasons, *MemoProblem("a/b\\c", 100));
    EXPECT_EQ(FitMemo(u"AB0123CD", 6, 6).value().reasons, *MemoProblem("AB0123CD", 6));
    EXPECT_EQ(FitMemo(u"ab/cdef", 7, 4).value().reasons,
              *MemoProblem("ab/cdef", 4) + "\n" + *MemoProblem("abcdef", 4));
}

}  // namespace
}  // namespace tsumugiya::test
