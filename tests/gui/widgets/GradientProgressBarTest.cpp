#include <QApplication>
#include <QImage>
#include <QTest>
#include <array>
#include <climits>
#include <memory>

#include "widgets/GradientLayout.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;

namespace {

QImage Render(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The colour shared by every pixel of the area, or a value no opaque pixel can have.
QRgb Uniform(const QImage& image, const QRect& area) {
    const QRgb first = image.pixel(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != first) {
                return 0x00BAD000;
            }
        }
    }
    return first;
}

}  // namespace

class GradientProgressBarTest : public QObject {
    Q_OBJECT

    std::unique_ptr<GradientProgressBar> bar;

    QRgb Face() const {
        const std::uint32_t c = bar->backgroundColor();
        return qRgb(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
    }

  private slots:
    void init() {
        bar = std::make_unique<GradientProgressBar>();
        bar->resize(300, 24);
        bar->SetShowPercent(false);
    }

    void bandsAreUncoveredUpToThePosition() {
        const std::tuple<int, QRect, QRgb> cases[] = {
            {50, QRect(0, 0, 1, 24), qRgb(255, 0, 0)},      // first band
            {50, QRect(149, 0, 1, 24), qRgb(128, 0, 127)},  // band 127
            {50, QRect(150, 0, 1, 24), qRgb(127, 0, 128)},  // band 128 alone
            {50, QRect(151, 0, 149, 24), 0},                // background after
            {1, QRect(3, 0, 1, 24), qRgb(252, 0, 3)},       // band 3 at x=3
            {1, QRect(4, 0, 296, 24), 0},                   // background after
            {100, QRect(298, 0, 2, 24), qRgb(1, 0, 254)},   // last band
        };
        for (const auto& [pos, area, colour] : cases) {
            bar->SetPos(pos);
            QCOMPARE(Uniform(Render(*bar), area), colour == 0 ? Face() : colour);
        }
    }

    // The gradient is kept between paints: a narrower bar must show all of it again.
    void theWholeGradientFollowsTheBarsSize() {
        bar->SetPos(100);
        QCOMPARE(Uniform(Render(*bar), QRect(149, 0, 1, 24)), qRgb(128, 0, 127));
        bar->resize(150, 24);
        QCOMPARE(Uniform(Render(*bar), QRect(149, 0, 1, 24)), qRgb(1, 0, 254));
    }

    void solidColoursFillTheWholeBar() {
        const std::tuple<std::uint32_t, std::uint32_t, QRgb> cases[] = {
            {0x0001FF00u, 0x0000FF00u, qRgb(0, 255, 1)},        // success
            {0x000100FFu, 0x000000FFu, qRgb(255, 0, 1)},        // failure
            {0x00123456u, 0x00123456u, qRgb(0x56, 0x34, 0x12)}  // equal colours
        };
        for (const auto& [start, end, colour] : cases) {
            bar->SetColours(start, end);
            for (int pos : {1, 50, 100}) {
                bar->SetPos(pos);
                QCOMPARE(Uniform(Render(*bar), bar->rect()), colour);
            }
        }
    }

    void positionsOutsideTheRangeShowTheButtonFaceOfTheMoment() {
        QCOMPARE(Face(), bar->palette().color(QPalette::Button).rgb());
        bar->SetShowPercent(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Button, QColor(10, 20, 30));
        bar->setPalette(palette);
        // At 0, past either end, and in an empty range.
        for (const auto& [lower, upper, pos] : {std::array{0, 100, 0}, std::array{0, 100, 101},
                                                std::array{0, 100, -5}, std::array{7, 7, 7}}) {
            bar->SetRange(lower, upper);
            bar->SetPos(pos);
            QCOMPARE(Uniform(Render(*bar), bar->rect()), qRgb(10, 20, 30));
        }
        // The unfilled part of a partial bar keeps the colour read at construction.
        bar->SetShowPercent(false);
        bar->SetRange(0, 100);
        bar->SetPos(50);
        QCOMPARE(Uniform(Render(*bar), QRect(151, 0, 149, 24)), Face());
    }

    void captionIsDrawnInTheTextColourOnlyWhenShown() {
        QFont font = bar->font();
        font.setStyleStrategy(QFont::NoAntialias);  // every caption pixel in the text colour
        bar->setFont(font);
        bar->SetTextColor(0x0000FFFF);  // yellow: neither a red-to-blue band nor the face
        bar->SetPos(50);
        const QImage plain = Render(*bar);
        bar->SetShowPercent(true);
        const QImage captioned = Render(*bar);
        const QRect textBox =
            QFontMetrics(font).boundingRect(bar->rect(), Qt::AlignCenter, " 50 %");
        int changed = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (captioned.pixel(x, y) != plain.pixel(x, y)) {
                    ++changed;
                    QCOMPARE(captioned.pixel(x, y), qRgb(255, 255, 0));
                    QVERIFY2(textBox.contains(x, y), "caption ink outside the centred text");
                }
            }
        }
        QVERIFY(changed > 0 && Uniform(plain, QRect(0, 0, 1, 24)) != qRgb(255, 255, 0));
    }

    // Positions coming faster than the bar repaints are shown later, the last one included.
    void aPositionThatComesTooSoonIsStillPainted() {
        struct PaintSpy : QObject {
            QList<int> painted;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Paint) {
                    painted << static_cast<GradientProgressBar*>(watched)->position();
                }
                return false;
            }
        } spy;
        bar->installEventFilter(&spy);
        bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar.get()));
        bar->SetPos(1);
        QTRY_VERIFY(spy.painted.contains(1));
        bar->SetPos(2);
        bar->SetPos(3);
        QTRY_COMPARE(spy.painted.last(), 3);
    }

    // The rounding the pixels above cannot tell.
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

QTEST_MAIN(GradientProgressBarTest)
#include "GradientProgressBarTest.moc"
