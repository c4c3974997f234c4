#include "app/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace tarnwick {

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Average over 52 letters, rounded: (width / 26 + 1) / 2.
    return DialogUnits((width / 26 + 1) / 2, metrics.height());
}

int DialogUnits::MulDiv(int a, int b, int c) {
    const std::int64_t product = std::int64_t{a} * b;
    const std::int64_t half = c / 2;
    const std::int64_t q = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(q);
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, baseX_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, baseY_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(ToPixelsX(width), ToPixelsY(height));
}

}  // namespace tarnwick
