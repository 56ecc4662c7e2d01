// The window's building blocks on their own: dialog units, the title status
// and the memo's byte limit.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include "DialogUnits.h"
#include "MemoLimit.h"
#include "TitleStatus.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

TEST(DialogUnitsTest, EdgesAreScaledAndRoundedSoNeighboursStayFlush) {
    const DialogUnits units(7, 13);
    // x: 13*7/4 = 22.75 -> 23; right edge (13+93)*7/4 = 185.5 -> 186
    EXPECT_EQ(units.ToPixels(QRect(13, 14, 93, 32)), QRect(23, 23, 163, 52));
    // Two controls that touch in units touch in pixels.
    EXPECT_EQ(units.ToPixels(QRect(1, 1, 3, 3)).right() + 1, units.ToPixels(QRect(4, 1, 3, 3)).x());
    EXPECT_EQ(units.ToPixelsX(-2), -4);  // -3.5 rounds away from zero
}

TEST(TitleStatusTest, ShowsForAWhileAndANewerNoteRestartsTheClock) {
    QWidget window;
    TitleStatus status(window, QStringLiteral("Tsumugiya"), std::chrono::milliseconds(300));
    QElapsedTimer clock;
    clock.start();
    status.Show(QStringLiteral("a にバックアップ"));
    EXPECT_EQ(window.windowTitle().toStdString(), "Tsumugiya : a にバックアップ");
    QTest::qWait(200);
    status.Show(QStringLiteral("b"));
    QTest::qWait(200);  // 400 ms after the first note, 200 after the second
    EXPECT_EQ(window.windowTitle().toStdString(), "Tsumugiya : b");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Tsumugiya"; }, 2000));
    EXPECT_GE(clock.elapsed(), 500);

    status.Show(QStringLiteral("c"));
    status.Show(QString());  // at once
    EXPECT_EQ(window.windowTitle().toStdString(), "Tsumugiya");
}

TEST(MemoLimitTest, CutsAtWholeCharacters) {
    const QString pair = QString::fromUtf8("😀");  // four bytes, two UTF-16 units
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("aあ"), 3), "a");
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("aあ"), 4), "aあ");
    EXPECT_EQ(CutToUtf8Bytes(pair + pair, 7), pair);
}

}  // namespace
}  // namespace tsumugiya::test
