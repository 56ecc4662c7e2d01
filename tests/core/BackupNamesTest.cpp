#include <gtest/gtest.h>

#include <string>

#include "BackupNames.h"

using tsumugiya::TimestampedBackupName;

namespace {

constexpr const char* kTime = "2023年03月06日04時01分08秒";

TEST(BackupNamesTest, JoinsSaveNameTimeAndMemo) {
    EXPECT_EQ(TimestampedBackupName("slot1.dat", kTime, "城の前", 255),
              std::optional<std::string>("slot1.dat.save.2023年03月06日04時01分08秒_城の前"));
    EXPECT_EQ(TimestampedBackupName("slot1.dat", kTime, "", 255),
              std::optional<std::string>("slot1.dat.save.2023年03月06日04時01分08秒_"));
    EXPECT_EQ(tsumugiya::FixedBackupName("slot1.dat"), "slot1.dat.save.temp");
    EXPECT_EQ(tsumugiya::SafetyCopyPath("/games/slot1.dat"), "/games/slot1.dat.s");
}

TEST(BackupNamesTest, RefusesMemosThatAreNotPartOfOneFileName) {
    const char* memos[] = {"a/b",  "a\\b",     "line\nbreak", "tab\there",   "\x7f",
                           "\xff", "\xe5\x9f", "\xc0\xaf",    "\xed\xa0\x80"};
    for (const char* memo : memos) {
        EXPECT_EQ(TimestampedBackupName("slot1.dat", kTime, memo, 255), std::nullopt) << memo;
    }
    EXPECT_EQ(TimestampedBackupName("slot1.dat", kTime, std::string("a\0b", 3), 255), std::nullopt);
}

TEST(BackupNamesTest, LengthLimitCountsBytes) {
    const std::string memo = "城の前";
    const auto name = TimestampedBackupName("slot1.dat", kTime, memo, 255);
    ASSERT_TRUE(name);
    EXPECT_TRUE(TimestampedBackupName("slot1.dat", kTime, memo, name->size()));
    EXPECT_FALSE(TimestampedBackupName("slot1.dat", kTime, memo, name->size() - 1));

    std::string longMemo;
    for (int i = 0; i < 85; ++i) {
        longMemo += "城";
    }
    ASSERT_EQ(longMemo.size(), 255u);
    EXPECT_EQ(TimestampedBackupName("s", kTime, longMemo, 255), std::nullopt);
    EXPECT_EQ(TimestampedBackupName("s", kTime, longMemo, 16), std::nullopt);
}

}  // namespace
