#include <QApplication>
#include <QImage>
#include <QTest>
#include <array>
#include <memory>

#include "widgets/GradientProgressBar.h"

using tarnwick::GradientProgressBar;

namespace {

QRgb Pixel(std::uint32_t colorref) {
    return qRgb(int(colorref & 0xFF), int(colorref >> 8 & 0xFF), int(colorref >> 16 & 0xFF));
}

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

// Counts paints, to tell a scheduled repaint from a synchronous one.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class GradientProgressBarTest : public QObject {
    Q_OBJECT

    std::unique_ptr<GradientProgressBar> bar;

    QRgb Face() const { return Pixel(bar->backgroundColor()); }

  private slots:
    void init() {
        bar = std::make_unique<GradientProgressBar>();
        bar->resize(300, 24);
        bar->SetShowPercent(false);
    }
    void cleanup() { bar.reset(); }

    void bandsAreUncoveredUpToThePosition_data() {
        QTest::addColumn<int>("pos");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRgb>("colour");  // 0: the background colour
        QTest::newRow("50: first band") << 50 << QRect(0, 0, 1, 24) << qRgb(255, 0, 0);
        QTest::newRow("50: band 127") << 50 << QRect(149, 0, 1, 24) << qRgb(128, 0, 127);
        QTest::newRow("50: band 128 alone") << 50 << QRect(150, 0, 1, 24) << qRgb(127, 0, 128);
        QTest::newRow("50: background after") << 50 << QRect(151, 0, 149, 24) << QRgb(0);
        QTest::newRow("1: band 3 at x=3") << 1 << QRect(3, 0, 1, 24) << qRgb(252, 0, 3);
        QTest::newRow("1: background after") << 1 << QRect(4, 0, 296, 24) << QRgb(0);
        QTest::newRow("100: last band") << 100 << QRect(298, 0, 2, 24) << qRgb(1, 0, 254);
    }
    void bandsAreUncoveredUpToThePosition() {
        QFETCH(int, pos);
        QFETCH(QRect, area);
        QFETCH(QRgb, colour);
        bar->SetPos(pos);
        QCOMPARE(Uniform(Render(*bar), area), colour == 0 ? Face() : colour);
    }

    void solidColoursFillTheWholeBar_data() {
        QTest::addColumn<std::uint32_t>("start");
        QTest::addColumn<std::uint32_t>("end");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("success") << 0x0001FF00u << 0x0000FF00u << qRgb(0, 255, 1);
        QTest::newRow("failure") << 0x000100FFu << 0x000000FFu << qRgb(255, 0, 1);
        QTest::newRow("equal colours") << 0x00123456u << 0x00123456u << qRgb(0x56, 0x34, 0x12);
    }
    void solidColoursFillTheWholeBar() {
        QFETCH(std::uint32_t, start);
        QFETCH(std::uint32_t, end);
        QFETCH(QRgb, colour);
        bar->SetColours(start, end);
        for (int pos : {1, 50, 100}) {
            bar->SetPos(pos);
            QCOMPARE(Uniform(Render(*bar), bar->rect()), colour);
        }
    }

    void positionsOutsideTheRangeShowTheButtonFaceOfTheMoment() {
        QCOMPARE(Face(), bar->palette().color(QPalette::Button).rgb());
        bar->SetShowPercent(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Button, QColor(10, 20, 30));
        bar->setPalette(palette);
        const QRgb face = qRgb(10, 20, 30);

        // At 0, past either end, and in an empty range.
        for (const auto& [lower, upper, pos] : {std::array{0, 100, 0}, std::array{0, 100, 101},
                                                std::array{0, 100, -5}, std::array{7, 7, 7}}) {
            bar->SetRange(lower, upper);
            bar->SetPos(pos);
            QCOMPARE(Uniform(Render(*bar), bar->rect()), face);
        }

        // The unfilled part of a partial bar keeps the colour read at construction.
        bar->SetShowPercent(false);
        bar->SetRange(0, 100);
        bar->SetPos(50);
        QCOMPARE(Uniform(Render(*bar), QRect(151, 0, 149, 24)), Face());
        QVERIFY(Face() != face);
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
                QCOMPARE(plain.pixel(x, y) == qRgb(255, 255, 0), false);
                if (captioned.pixel(x, y) != plain.pixel(x, y)) {
                    ++changed;
                    QCOMPARE(captioned.pixel(x, y), qRgb(255, 255, 0));
                    QVERIFY2(textBox.contains(x, y), "caption ink outside the centred text");
                }
            }
        }
        QVERIFY(changed > 0);
    }

    void verticalBarFillsFromTheTopDown() {
        bar->setOrientation(Qt::Vertical);
        bar->resize(24, 300);
        bar->SetPos(50);
        const QImage image = Render(*bar);
        QCOMPARE(Uniform(image, QRect(0, 0, 24, 1)), qRgb(255, 0, 0));
        QCOMPARE(Uniform(image, QRect(0, 150, 24, 1)), qRgb(127, 0, 128));
        QCOMPARE(Uniform(image, QRect(0, 151, 24, 149)), Face());
    }

    void repaintingPartOfTheBarPutsEachBandInItsPlace() {
        bar->SetPos(80);
        const QImage whole = Render(*bar);
        QImage part(bar->size(), QImage::Format_RGB32);
        part.fill(Qt::black);
        const QRect area(100, 4, 120, 10);
        bar->render(&part, area.topLeft(), QRegion(area));
        QCOMPARE(part.copy(area), whole.copy(area));
    }

    void positionBurstsCostOnePaintLater() {
        PaintCounter counter;
        bar->installEventFilter(&counter);
        bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar.get()));
        QCoreApplication::processEvents();

        counter.paints = 0;
        for (int page = 0; page < 1000; ++page) {
            bar->SetPos(page % 100 + 1);
        }
        QCOMPARE(counter.paints, 0);
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 1);

        // Nothing changed: nothing to paint. A new colour at the same position repaints.
        bar->SetPos(100);
        bar->SetColours(0x000000FF, 0x00FF0000);
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 1);
        bar->SetColours(0x0001FF00, 0x0000FF00);
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 2);
    }
};

QTEST_MAIN(GradientProgressBarTest)
#include "GradientProgressBarTest.moc"
