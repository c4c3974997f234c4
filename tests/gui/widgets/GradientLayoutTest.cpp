#include <QTest>
#include <climits>

#include "widgets/GradientLayout.h"

namespace tarnwick {
// Found by argument lookup, so a failed comparison prints the fills.
char* toString(const BandFill& fill) {
    return QTest::toString(QString::asprintf("[%d,%d %d,%d) %06X", fill.left, fill.top, fill.right,
                                             fill.bottom, fill.colour));
}
}  // namespace tarnwick

using tarnwick::BandFill;
using tarnwick::ComputeBands;
using tarnwick::GradientLayout;

namespace {

constexpr std::uint32_t kFace = 0x00F0F0F0;

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r | g << 8 | b << 16);
}

}  // namespace

class GradientLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    // Where the bands end and which colours they take at 1, 50 and 100 % is pinned on the
    // real bar's pixels; here the rounding those few pixels cannot tell.
    void edgesAndColoursUseExactProductsOfSinglePrecisionSteps() {
        // 100 / 6 as a float is just below 16.6667, so band 3 starts at 49, not 50; and
        // 4 - 3 * float(4 / 6) is just below 2, so its red is 1. Float products would round both
        // up.
        const GradientLayout layout =
            ComputeBands({100, 20, false, 100, Rgb(4, 0, 0), Rgb(0, 6, 0), kFace});
        const int edges[] = {0, 16, 33, 49, 66, 83, 99};
        const int reds[] = {4, 3, 2, 1, 1, 0};
        QCOMPARE(int(layout.bands.size()), 6);
        for (int i = 0; i < 6; ++i) {
            const BandFill& band = layout.bands[std::size_t(i)];
            QCOMPARE(band.left, edges[i]);
            QCOMPARE(band.right, edges[i + 1]);
            QCOMPARE(band.colour, Rgb(reds[i], i, 0));
        }
        // The last line, missed by the bands, takes the last band's colour.
        QVERIFY(layout.tail);
        QCOMPARE(*layout.tail, (BandFill{99, 0, 100, 20, Rgb(0, 5, 0)}));
    }

    void extentIsTheTruncatedDoubleFraction() {
        QCOMPARE(tarnwick::FilledExtent(50, 0, 100, 300), 150);
        QCOMPARE(tarnwick::FilledExtent(1, 0, 100, 300), 3);
        // 29 / 100 * 100 is 28.999999999999996 in double: the quotient comes first.
        QCOMPARE(tarnwick::FilledExtent(29, 0, 100, 100), 28);
        QCOMPARE(tarnwick::FilledExtent(10, -10, 10, 200), 200);
        QCOMPARE(tarnwick::FilledExtent(0, INT_MIN, INT_MAX, 300), 150);
    }

    void captionIsPercentInThreeColumns() {
        QCOMPARE(tarnwick::PercentCaption(50, 0, 100), std::string(" 50 %"));
        QCOMPARE(tarnwick::PercentCaption(1, 0, 100), std::string("  1 %"));
        QCOMPARE(tarnwick::PercentCaption(100, 0, 100), std::string("100 %"));
        QCOMPARE(tarnwick::PercentCaption(2, 0, 3), std::string(" 67 %"));
        QCOMPARE(tarnwick::PercentCaption(-5, -10, 10), std::string(" 25 %"));
    }
};

QTEST_APPLESS_MAIN(GradientLayoutTest)
#include "GradientLayoutTest.moc"
