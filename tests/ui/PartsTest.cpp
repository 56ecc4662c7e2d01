// The dialog's building blocks on their own: dialog units, layout files and
// the memo's byte limit.

#include <gtest/gtest.h>

#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "MemoLimit.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

TEST(DialogUnitsTest, EdgesAreScaledAndRoundedSoNeighboursStayFlush) {
    const DialogUnits units(7, 13);
    // x: 13*7/4 = 22.75 -> 23; right edge (13+93)*7/4 = 185.5 -> 186
    EXPECT_EQ(units.ToPixels(QRect(13, 14, 93, 32)), QRect(23, 23, 163, 52));
    EXPECT_EQ(units.ToPixels(QSize(443, 349)), QSize(775, 567));
    // Two controls that touch in units touch in pixels.
    const QRect left = units.ToPixels(QRect(1, 1, 3, 3));
    const QRect right = units.ToPixels(QRect(4, 1, 3, 3));
    EXPECT_EQ(left.right() + 1, right.left());
    EXPECT_EQ(units.ToPixelsX(-2), -4);  // -3.5 rounds away from zero
}

TEST(DialogTemplateTest, AMalformedLayoutNamesItsSource) {
    const auto error = [](const char* json) -> std::string {
        try {
            DialogTemplate::FromJson(QByteArray(json), QStringLiteral("broken.json"));
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return {};
    };
    EXPECT_NE(error("{").find("broken.json"), std::string::npos);
    EXPECT_NE(error(R"({"id": 1, "w": "wide", "h": 2, "font": {"points": 9}})").find("\"w\""),
              std::string::npos);
    EXPECT_NE(error(R"({"id": 1, "w": 1, "h": 2, "font": {"points": 9},
                       "controls": [{"id": 5, "x": 0, "y": 0, "w": 1, "h": 1}]})")
                  .find("no kind"),
              std::string::npos);
}

TEST(MemoLimitTest, CutsAtWholeCharacters) {
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("abc"), 3), "abc");
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("aあ"), 3), "a");  // あ needs 3 more
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("aあ"), 4), "aあ");
    const QString pair = QString::fromUtf8("😀");
    EXPECT_EQ(CutToUtf8Bytes(pair + pair, 7), pair);
    EXPECT_EQ(CutToUtf8Bytes(pair, 3), QString());
    EXPECT_EQ(CutToUtf8Bytes(QString(), 255), QString());
}

}  // namespace
}  // namespace tsumugiya::test
