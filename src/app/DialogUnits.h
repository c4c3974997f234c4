#pragma once

#include <QRect>
#include <QSize>

class QFont;

namespace tarnwick {

// Dialog units of a font, converted to pixels as the templates were laid out: the horizontal
// base unit is the font's average width of A-Z and a-z, the vertical one its height; a dialog
// unit is a quarter of the first and an eighth of the second, rounded to the nearest pixel.
// Pure arithmetic after construction; any thread.
class DialogUnits {
  public:
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}
    // Measures the font; needs a QGuiApplication.
    static DialogUnits ForFont(const QFont& font);

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

    // a * b / c rounded half away from zero, with a 64-bit product (what the templates were
    // scaled with).
    static int MulDiv(int a, int b, int c);

  private:
    int baseX_;
    int baseY_;
};

}  // namespace tarnwick
