// The main dialog on real widgets: where its controls sit, how it follows the programmer, what
// the display messages and the hand-over from a worker do, the keys and commands that must
// not or must end it, and the file it is given to write.
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <future>
#include <thread>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "app/MessageRegistry.h"
#include "app/WindowMessages.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class DialogTest : public QObject {
    Q_OBJECT

    static QString Shown(DialogHarness& h, int id) { return h.Control<QLineEdit>(id)->text(); }

  private slots:
    // Worked out by hand: the 52 letters of the 12 px dialog font are 344 px wide, so a
    // horizontal dialog unit is (344 / 26 + 1) / 2 = 7 quarters of a pixel and a vertical one
    // its 14 px line height in eighths, each product rounded half away from zero.
    void controlsSitWhereTheirDialogUnitsPutThem() {
        DialogHarness h;
        QCOMPARE(h.dialog().size(), QSize(742, 425));  // 424x243, not resizable
        QCOMPARE(h.dialog().maximumSize(), h.dialog().minimumSize());
        const std::pair<int, QRect> cases[] = {
            {ids::kUpdateButton, QRect(543, 361, 110, 37)},  // 310,206 63x21
            {ids::kPathEdit, QRect(114, 58, 417, 28)},       // 65,33 238x16
            {ids::kLogList, QRect(44, 158, 576, 121)},       // 25,90 329x69
            {ids::kProgressBar, QRect(131, 368, 361, 23)},   // 75,210 206x13
            {ids::kStatusIcon, QRect(37, 355, 32, 32)},      // 21,203: 32 px whatever its size
        };
        for (const auto& [id, pixels] : cases) {
            QCOMPARE(h.Control<QWidget>(id)->geometry(), pixels);
        }
    }

    void plugUnplugAndReplugAreFollowed() {
        DialogHarness h({.attached = false});
        auto* button = h.Control<QPushButton>(ids::kUpdateButton);
        auto* bar = h.Control<GradientProgressBar>(ids::kProgressBar);
        QVERIFY(!button->isEnabled());
        QVERIFY(ShowsIcon(h.dialog(), kIconNoProgrammer));

        h.Plug();
        QTRY_VERIFY(button->isEnabled());
        QVERIFY(ShowsIcon(h.dialog(), kIconProgrammerPresent));

        // Another device's change: the log stays, a finished job's green goes back to 0.
        h.dialog().Display().Text("written");
        h.dialog().Display().Result(true);
        h.changes->Notify();
        QTRY_COMPARE((BarColours{bar->startColor(), bar->endColor()}), kWorkingColours);
        QCOMPARE(bar->position(), 0);
        QCOMPARE(LogLines(h.dialog()), QStringList{"written"});

        // Unplugged: button off, red plug, log emptied, the bar as it was.
        h.dialog().Display().Result(false);
        h.Unplug();
        QTRY_VERIFY(!button->isEnabled());
        QVERIFY(ShowsIcon(h.dialog(), kIconNoProgrammer));
        QVERIFY(LogLines(h.dialog()).isEmpty());
        QVERIFY(BarIsSolid(h.dialog(), qRgb(255, 0, 1)));
        QCOMPARE(h.link.Device(), nullptr);
    }

    void withoutDeviceNotificationsThePersonIsToldAndTheScanStillRuns() {
        DialogHarness h({.notificationsFail = true});
        QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8(texts::kInitError)});
        QVERIFY(ShowsIcon(h.dialog(), kIconProgrammerPresent));
        // Device-change messages from elsewhere still reach the scan, whatever their event.
        h.UnplugQuietly();
        QCOMPARE(h.dialog().WindowProc(kWmDeviceChange, 0x8004, 0), 1);
        QVERIFY(ShowsIcon(h.dialog(), kIconNoProgrammer));
    }

    // From a worker: a progress that would leave the bar as it is need not go over, but 100 after
    // the green result must (the colours change back); a text buffer may be reused the moment
    // its send returns.
    void displayCommandsFromAWorkerEndAsTheyAlwaysDid() {
        DialogHarness h;
        DisplaySink& display = h.dialog().Display();
        auto changes = std::async(std::launch::async, [&] {
            char buffer[32] = "擦除Flash 中..";
            display.Text(buffer);
            std::strcpy(buffer, "XXXX");
            display.Progress(100);
            display.Result(true);
            display.Progress(100);
            display.Text("b");
        });
        QTRY_VERIFY(changes.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        auto* bar = h.Control<GradientProgressBar>(ids::kProgressBar);
        QCOMPARE((BarColours{bar->startColor(), bar->endColor()}), kWorkingColours);
        QCOMPARE(bar->position(), 100);
        QCOMPARE(LogLines(h.dialog()), (QStringList{"擦除Flash 中..", "b"}));

        // The numbered way in, for outside senders: a command past 32 bits is unknown, not
        // cut down to a reset.
        h.dialog().WindowProc(MessageRegistry::Process().Register(kMsgToDisplay), 1ull << 32, 0);
        QVERIFY(bar->position() == 100 && LogLines(h.dialog()).size() == 2);
    }

    void enterAndEscapeNeverCloseTheDialog() {
        DialogHarness h;
        QApplication::setActiveWindow(&h.dialog());
        QSignalSpy finished(&h.dialog(), &QDialog::finished);
        for (const int id : {ids::kPathEdit, ids::kUpdateButton, ids::kLogList}) {
            QWidget* widget = h.Control<QWidget>(id);
            widget->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), widget);
            for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(widget, key);
            }
        }
        QTest::keyClick(&h.dialog(), Qt::Key_Escape);
        QVERIFY(h.dialog().isVisible());
        QCOMPARE(finished.count(), 0);
        // Neither key pressed a button: no file dialog opened, no job started.
        QVERIFY(h.prompts.fileDialogs.isEmpty());
        QVERIFY(!h.dialog().Jobs().Busy() && !h.dialog().Jobs().LastResult());
    }

    void theContextMenuAndSystemCommands0x10To0x1FOpenTheAboutBox() {
        DialogHarness h;
        h.prompts.menuChoice = QString::fromUtf8(texts::kAboutMenuItem);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(&h.dialog(), &event);
        for (unsigned command = 0x00; command <= 0x20; ++command) {
            h.dialog().WindowProc(kWmSysCommand, command, 0);
        }
        h.dialog().OnSysCommand(0xF010u);
        QCOMPARE(h.prompts.modalTitles, QStringList(17, QString::fromUtf8(texts::kAboutCaption)));
        QVERIFY(h.dialog().isVisible());
    }

    void exitCommandKeepsTheDialogWhileTheLengthIsNoInteger() {
        DialogHarness h;
        QApplication::setActiveWindow(&h.dialog());
        auto* length = h.Control<QLineEdit>(ids::kLengthEdit);
        length->setText(QStringLiteral("12ab"));
        h.dialog().WindowProc(kWmCommand, ids::kCmdExit, 0);
        QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8(texts::kEnterInteger)});
        QVERIFY(h.dialog().isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), length);
        QCOMPARE(length->selectedText(), QStringLiteral("12ab"));

        length->setText(QStringLiteral(" 42\t"));
        QVERIFY(h.dialog().OnCommand(ids::kCmdExit));
        QCOMPARE(h.dialog().result(), int(QDialog::Accepted));
        QVERIFY(!h.dialog().isVisible());
        QCOMPARE(h.dialog().Data().fileLength, 42);
    }

    void aChosenFileIsShownWithItsLengthAndCancellingKeepsIt() {
        const TempFile file(PatternBytes(1000), "固件 1.bin");
        DialogHarness h;
        h.ChooseFile(Q(file.Path()));
        h.ChooseFile({});
        QVERIFY(h.prompts.messages.isEmpty());
        QCOMPARE(h.firmwarePath.Get(), file.Path());
        QCOMPARE(Shown(h, ids::kPathEdit), Q(file.Path()));
        QCOMPARE(Shown(h, ids::kLengthEdit), QStringLiteral("1000"));
        QVERIFY(LockHolder(file.Path()).ok);  // the lock was held only while it was looked at
        // A path typed afterwards does not change the file the job writes.
        h.Control<QLineEdit>(ids::kPathEdit)->setText(QStringLiteral("/etc/passwd"));
        QVERIFY(h.dialog().UpdateData(true));
        QCOMPARE(h.firmwarePath.Get(), file.Path());
    }

    void aFileThatCannotBeTakenFailsAndKeepsTheEarlierDisplay() {
        // Which refusals there are is the probe's own test; here, what the dialog makes of one.
        const TempFile good(PatternBytes(1000), "good.bin");
        const TempFile bad(PatternBytes(2000), "bad.bin");
        const LockHolder holder(bad.Path());
        DialogHarness h;
        h.ChooseFile(Q(good.Path()));
        h.ChooseFile(Q(bad.Path()));
        QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8(texts::kOpenFileFailed)});
        QCOMPARE(h.firmwarePath.Get(), std::string());
        QCOMPARE(h.dialog().Data().pathText, Q(bad.Path()));  // the failed one is kept
        QCOMPARE(Shown(h, ids::kPathEdit), Q(good.Path()));   // the display is not
        QCOMPARE(Shown(h, ids::kLengthEdit), QStringLiteral("1000"));
    }
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
