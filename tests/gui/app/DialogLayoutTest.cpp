#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "AppHarness.h"
#include "app/AboutBox.h"
#include "app/AppIcons.h"
#include "app/AppTexts.h"
#include "app/DialogLayout.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class DialogLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void theDialogFontRendersChineseWithStableMetrics() {
        const QFont font = DialogLayout::DialogFont(MainDialogTemplate());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(QFontInfo(font).pixelSize(), 12);
        const QFontMetrics metrics(font);
        for (const QChar c : QStringLiteral("烧写文件更新选择长度")) {
            QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
        }
    }

    // Worked out by hand: the 52 letters of the 12 px dialog font are 344 px wide, so a
    // horizontal dialog unit is (344 / 26 + 1) / 2 = 7 quarters of a pixel and a vertical one
    // its 14 px line height in eighths, each product rounded half away from zero.
    void controlsSitWhereTheirDialogUnitsPutThem_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("update button at 310,206 63x21")
            << ids::kUpdateButton << QRect(543, 361, 110, 37);
        QTest::newRow("path edit at 65,33 238x16") << ids::kPathEdit << QRect(114, 58, 417, 28);
        QTest::newRow("message list at 25,90 329x69") << ids::kLogList << QRect(44, 158, 576, 121);
        QTest::newRow("progress bar at 75,210 206x13")
            << ids::kProgressBar << QRect(131, 368, 361, 23);
        QTest::newRow("status icon at 21,203: 32 px whatever its size")
            << ids::kStatusIcon << QRect(37, 355, 32, 32);
    }
    void controlsSitWhereTheirDialogUnitsPutThem() {
        QFETCH(int, id);
        DialogHarness harness;
        QCOMPARE(harness.dialog().size(), QSize(742, 425));  // 424x243, not resizable
        QCOMPARE(harness.dialog().maximumSize(), harness.dialog().minimumSize());
        QCOMPARE(harness.dialog().windowTitle(), QString::fromUtf8(texts::kMainCaption));
        QTEST(harness.Control<QWidget>(id)->geometry(), "pixels");
    }

    void theAboutBoxShowsTheApplicationIconAndClosesWithOk() {
        AboutBox about;
        auto* icon = about.Controls().Get<QLabel>(ids::kStatic);
        QCOMPARE(icon->pixmap().toImage(), AppIcons::Pixmap(kIconApplication).toImage());
        auto* ok = about.Controls().Get<QPushButton>(ids::kOk);
        QVERIFY(ok->isDefault());
        about.show();
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"
