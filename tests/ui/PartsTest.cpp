// The window's building blocks on their own: dialog units, the title
// status and the X keys of the hotkeys.

#include <gtest/gtest.h>

#include <QWidget>
#include <set>

#include "DialogUnits.h"
#include "TitleStatus.h"
#include "X11KeyGrabs.h"

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
    using namespace std::chrono_literals;
    QWidget window;
    const auto title = [&] { return window.windowTitle().toStdString(); };
    std::chrono::steady_clock::time_point now;
    TitleStatus status(window, QStringLiteral("Tsumugiya"), 300ms, [&] { return now; });
    status.Show(QStringLiteral("a にバックアップ"));
    EXPECT_EQ(title(), "Tsumugiya : a にバックアップ");
    now += 200ms;
    status.Show(QStringLiteral("b"));
    now += 200ms;      // 400 ms after the first note, 200 after the second
    status.OnTimer();  // a tick that comes early
    EXPECT_EQ(title(), "Tsumugiya : b");
    EXPECT_TRUE(status.IsShowing());
    now += 100ms;
    status.OnTimer();
    EXPECT_EQ(title(), "Tsumugiya");
    EXPECT_FALSE(status.IsShowing());

    status.Show(QStringLiteral("c"));
    status.Show(QString());  // at once
    EXPECT_EQ(title(), "Tsumugiya");
    EXPECT_FALSE(status.IsShowing());
}

// Every key a hotkey may use reaches the X server as a key of its own.
TEST(KeySymTest, EveryKeyNameHasItsOwnKeysym) {
    std::set<std::uint32_t> keysyms;
    for (const std::string_view name : KeyNames()) {
        const auto keysym = KeySymOf(name);
        ASSERT_TRUE(keysym) << name;
        EXPECT_TRUE(keysyms.insert(*keysym).second) << name;
    }
    EXPECT_EQ(KeySymOf("F25"), std::nullopt);
}

}  // namespace
}  // namespace tsumugiya::test
