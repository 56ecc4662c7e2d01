#include <gtest/gtest.h>

#include "FileTime.h"
#include "support/TestFiles.h"

using tsumugiya::FormatFileTime;
using tsumugiya::test::ScopedTimeZone;

namespace {

// 1678042868 is 2023-03-05 19:01:08 UTC; Japan is nine hours ahead, past midnight.
TEST(FileTimeTest, FormatsLocalTime) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(FormatFileTime(1678042868), "2023年03月05日19時01分08秒");
        EXPECT_EQ(FormatFileTime(0), "1970年01月01日00時00分00秒");
        // 2^32 seconds: past 2038 and past any 32-bit count.
        EXPECT_EQ(FormatFileTime(4294967296), "2106年02月07日06時28分16秒");
    }
    ScopedTimeZone zone("JST-9");
    EXPECT_EQ(FormatFileTime(1678042868), "2023年03月06日04時01分08秒");
    EXPECT_EQ(FormatFileTime(4294967296), "2106年02月07日15時28分16秒");
}

TEST(FileTimeTest, UnconvertibleTimeHasMarkerText) {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(FormatFileTime(-1), "0000年00月00日-1時-1分-1秒");
    EXPECT_EQ(FormatFileTime(-86400 * 365), "0000年00月00日-1時-1分-1秒");
}

}  // namespace
