// The memo field's rule as both windows apply it to each edit.

#include <gtest/gtest.h>

#include "BackupNames.h"
#include "MemoFit.h"
#include "platform/Platform.h"

namespace tsumugiya::test {
namespace {

TEST(MemoFitTest, DropsWhatNoFileNameHoldsWhereverItIsAndKeepsTheCaretWithTheText) {
    EXPECT_FALSE(FitMemo(u"城の前", 3, 100));

    const auto fit = FitMemo(u"a/b\\c", 4, 100);  // caret after the backslash
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->text, u"abc");
    EXPECT_EQ(fit->caret, 2u);
    EXPECT_EQ(fit->reasons, *MemoProblem("a/b\\c", 100));
    EXPECT_TRUE(fit->fits);

    // A lone surrogate has no UTF-8 and names no file; a pair is one character.
    EXPECT_EQ(StrictUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const auto lone = FitMemo(u"a\xD800z", 3, 100);
    ASSERT_TRUE(lone);
    EXPECT_EQ(lone->text, u"az");
    EXPECT_EQ(lone->caret, 2u);
}

TEST(MemoFitTest, WhatDoesNotFitGoesFromBeforeTheCaretInWholeCharacters) {
    // "0123" was just typed before "CD": only what room is left of it stays.
    auto fit = FitMemo(u"AB0123CD", 6, 6);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->text, u"AB01CD");
    EXPECT_EQ(fit->caret, 4u);
    EXPECT_EQ(fit->reasons, *MemoProblem("AB0123CD", 6));

    // A surrogate pair is never split, whatever the unit of length.
    const std::size_t face = platform::NameLength("\xF0\x9F\x98\x80");
    fit = FitMemo(u"\U0001F600\U0001F600z", 4, face + 1);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->text, u"\U0001F600z");
    EXPECT_EQ(fit->caret, 2u);

    // Refused and too long at once: both reasons, one a line.
    fit = FitMemo(u"ab/cdef", 7, 4);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->text, u"abcd");
    EXPECT_EQ(fit->reasons, *MemoProblem("ab/cdef", 4) + "\n" + *MemoProblem("abcdef", 4));

    // The memo already there is never cut, even when it alone is too long.
    fit = FitMemo(u"xabcdef", 1, 3);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->text, u"abcdef");
    EXPECT_EQ(fit->caret, 0u);
    EXPECT_FALSE(fit->fits);
}

}  // namespace
}  // namespace tsumugiya::test
