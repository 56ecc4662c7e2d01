#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tsumugiya::ui {

// Dialog units to pixels. A horizontal unit is a quarter of the layout
// font's average character width, a vertical unit an eighth of its height,
// so a layout keeps its proportions whatever font and screen it meets.
class DialogUnits {
  public:
    // Base units measured from the font as it is drawn on the screen.
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

  private:
    int baseX_;
    int baseY_;
};

}  // namespace tsumugiya::ui
