#include <QPushButton>
#include <QTest>

#include "AppHarness.h"
#include "app/AppTexts.h"
#include "app/WindowMessages.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class LinkStatusTest : public QObject {
    Q_OBJECT

  private slots:
    void plugUnplugAndReplugAreFollowed() {
        DialogHarness harness({.attached = false});
        auto* button = harness.Control<QPushButton>(ids::kUpdateButton);
        auto* bar = harness.Control<GradientProgressBar>(ids::kProgressBar);
        // Started without a programmer: disabled, the red plug, nothing said.
        QVERIFY(!button->isEnabled());
        QVERIFY(harness.ShowsIcon(kIconNoProgrammer));
        QCOMPARE(harness.link.Device(), nullptr);
        QVERIFY(harness.prompts.messages.isEmpty());

        harness.Plug();
        QTRY_VERIFY(button->isEnabled());
        QVERIFY(harness.ShowsIcon(kIconProgrammerPresent));
        QCOMPARE(harness.link.DriveNumber(), EmulatedDrives::kDrive);

        // A change of another device: the programmer stays, the log stays, the green result
        // of a finished job goes back to the working colours at 0.
        harness.SendText("written");
        harness.Send(DISPLAY_RESULT, 1);
        const auto device = harness.link.Device();
        harness.changes->Notify();
        QTRY_COMPARE((BarColours{bar->startColor(), bar->endColor()}), kWorkingColours);
        QCOMPARE(bar->position(), 0);
        QCOMPARE(harness.LogLines(), QStringList{"written"});
        QCOMPARE(harness.link.Device(), device);  // not replaced by the re-check

        // Unplugged: button off, red plug, log emptied, the bar as it was.
        harness.Send(DISPLAY_RESULT, 0);
        harness.Unplug();
        QTRY_VERIFY(!button->isEnabled());
        QVERIFY(harness.ShowsIcon(kIconNoProgrammer));
        QVERIFY(harness.LogLines().isEmpty());
        QCOMPARE(bar->position(), 100);
        QCOMPARE(bar->startColor(), kFailureColours.start);
        QCOMPARE(harness.link.Device(), nullptr);

        // Another change while none is attached empties the log again.
        harness.SendText("stale");
        harness.changes->Notify();
        QTRY_VERIFY(harness.LogLines().isEmpty());

        harness.Plug();
        QTRY_VERIFY(button->isEnabled());
        QVERIFY(harness.ShowsIcon(kIconProgrammerPresent));
        QCOMPARE(bar->position(), 0);
        QCOMPARE(bar->startColor(), kWorkingColours.start);
        QCOMPARE(harness.link.DriveNumber(), EmulatedDrives::kDrive);
    }

    void withoutDeviceNotificationsThePersonIsToldAndTheScanStillRuns() {
        DialogHarness harness({.notificationsFail = true});
        QCOMPARE(harness.prompts.messages, QStringList{QString::fromUtf8(texts::kInitError)});
        QVERIFY(harness.Control<QPushButton>(ids::kUpdateButton)->isEnabled());
        QVERIFY(harness.ShowsIcon(kIconProgrammerPresent));
        // Device-change messages from elsewhere still reach the scan, whatever their event.
        harness.UnplugQuietly();
        QCOMPARE(harness.dialog().WindowProc(kWmDeviceChange, 0x8004, 0), 1);
        QVERIFY(harness.ShowsIcon(kIconNoProgrammer));
    }
};

QTEST_MAIN(LinkStatusTest)
#include "LinkStatusTest.moc"
