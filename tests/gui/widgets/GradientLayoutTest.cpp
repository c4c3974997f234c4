#include <QTest>
#include <climits>

#include "widgets/GradientLayout.h"

using namespace tarnwick;

class GradientLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    // Where the bands end and which colours they take is pinned on the real bar's pixels; here
    // the rounding those few pixels cannot tell.
    void edgesAndColoursUseExactProductsOfSinglePrecisionSteps() {
        // 100 / 6 as a float is just below 16.6667, so band 3 starts at 49, not 50; and
        // 4 - 3 * float(4 / 6) is just below 2, so its red is 1. Float products round both up.
        const GradientLayout layout = ComputeBands({100, 20, false, 100, 4, 6 << 8, 0x00F0F0F0});
        const int edges[] = {0, 16, 33, 49, 66, 83, 99};
        const std::uint32_t reds[] = {4, 3, 2, 1, 1, 0};
        QCOMPARE(int(layout.bands.size()), 6);
        for (std::size_t i = 0; i < 6; ++i) {
            QCOMPARE(layout.bands[i].left, edges[i]);
            QCOMPARE(layout.bands[i].right, edges[i + 1]);
            QCOMPARE(layout.bands[i].colour, reds[i] | std::uint32_t(i) << 8);
        }
        // The last line, missed by the bands, takes the last band's colour.
        QVERIFY(layout.tail && layout.tail->left == 99 && layout.tail->colour == 5u << 8);
    }

    void extentIsTheTruncatedDoubleFraction() {
        // 29 / 100 * 100 is 28.999999999999996 in double: the quotient comes first.
        QCOMPARE(FilledExtent(29, 0, 100, 100), 28);
        QCOMPARE(FilledExtent(10, -10, 10, 200), 200);
        QCOMPARE(FilledExtent(0, INT_MIN, INT_MAX, 300), 150);
    }
};

QTEST_APPLESS_MAIN(GradientLayoutTest)
#include "GradientLayoutTest.moc"
