#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "jobs/JobTexts.h"
#include "link/CommandBlock.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr QRgb kGreen = qRgb(0, 255, 1);
constexpr QRgb kRed = qRgb(255, 0, 1);

std::size_t Erases(EmulatedProgrammer& programmer) {
    const auto log = programmer.Log();
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [](const auto& c) { return c.op == 0xFB && c.sub == 0; }));
}

}  // namespace

class ProgrammingJobTest : public QObject {
    Q_OBJECT

  private slots:
    // The endings as the dialog shows them; every other ending is pinned in tests/unit/jobs.
    void theUpdateButtonWritesTheFileAndEndsInSolidColour_data() {
        QTest::addColumn<bool>("failWrite");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("success: green")
            << false << QStringList{texts::kErasing, texts::kWriting, texts::kWriteDone} << kGreen;
        QTest::newRow("write error: red")
            << true
            << QStringList{texts::kErasing, texts::kWriting, texts::kWriteError, texts::kWriteDone}
            << kRed;
    }
    void theUpdateButtonWritesTheFileAndEndsInSolidColour() {
        QFETCH(bool, failWrite);
        const auto bytes = PatternBytes(200 * 1024 + 100);
        const TempFile file(bytes, "firmware.bin");
        FaultPlan faults;
        if (failWrite) {
            faults.failPage.insert(0x400);
        }
        DialogHarness harness({.faults = faults});
        harness.ChooseFile(Q(file.Path()));
        auto* button = harness.Control<QPushButton>(ids::kUpdateButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(harness.dialog().Jobs().Busy());
        // The job's first send waits for this thread, so it is still running here: another
        // file chosen now must not pass for the one written.
        const TempFile other(PatternBytes(10), "other.bin");
        harness.ChooseFile(Q(other.Path()));
        QTRY_VERIFY(!harness.dialog().Jobs().Busy());
        QCOMPARE(harness.prompts.fileDialogs, QStringList{"open"});  // none asked while busy
        QCOMPARE(harness.firmwarePath.Get(), file.Path());
        QCOMPARE(harness.Control<QLineEdit>(ids::kLengthEdit)->text(),
                 QString::number(bytes.size()));

        QTEST(harness.LogLines(), "lines");
        QFETCH(QRgb, colour);
        QVERIFY(harness.BarIsSolid(colour));
        QVERIFY(button->isEnabled());
        QVERIFY(harness.prompts.messages.isEmpty());
        if (!failWrite) {
            QCOMPARE(harness.dialog().Controls().Text(ids::kInfoGroup),
                     QString::fromUtf8(texts::kFileProgrammed));
            QCOMPARE(harness.programmer().FlashBytes(0, static_cast<std::uint32_t>(bytes.size())),
                     bytes);
            QCOMPARE(Erases(harness.programmer()), std::size_t{4});
        }

        // The picture for the README, when asked for (run under Xvfb for a real window).
        const QString screenshot = qEnvironmentVariable("TARNWICK_SCREENSHOT");
        if (!failWrite && !screenshot.isEmpty()) {
            QVERIFY(harness.dialog().grab().save(screenshot));
        }
    }

    void aPressWhileTheWorkerWaitsIsIgnoredAndPluggingInWakesIt() {
        const auto bytes = PatternBytes(70000);
        const TempFile file(bytes);
        DialogHarness harness({.attached = false});
        harness.ChooseFile(Q(file.Path()));
        // The button is disabled without a programmer; the command still reaches the table.
        harness.dialog().OnCommand(ids::kUpdateButton);
        QVERIFY(harness.dialog().Jobs().Busy());
        harness.dialog().OnCommand(ids::kUpdateButton);
        QVERIFY(harness.dialog().Jobs().Busy());
        const TempFile other(PatternBytes(10), "other.bin");
        harness.ChooseFile(Q(other.Path()));
        QCOMPARE(harness.firmwarePath.Get(), file.Path());  // the waiting job's file stays

        harness.Plug();
        QTRY_VERIFY(!harness.dialog().Jobs().Busy());
        // Success, not "not answering": the job waited for the programmer instead of starting.
        QCOMPARE(harness.dialog().Jobs().LastResult()->ending, ProgramEnding::Success);
        QVERIFY(harness.BarIsSolid(kGreen));
        QCOMPARE(Erases(harness.programmer()), std::size_t{2});  // one job, not two
        QCOMPARE(harness.programmer().FlashBytes(0, 70000), bytes);
    }

    void closingDuringAJobEndsItWithoutHanging() {
        FaultPlan faults;
        faults.latency = std::chrono::microseconds(200);
        const TempFile file(PatternBytes(1u << 20));
        DialogHarness harness({.faults = faults});
        harness.ChooseFile(Q(file.Path()));
        harness.dialog().OnCommand(ids::kUpdateButton);
        auto* bar = harness.Control<GradientProgressBar>(ids::kProgressBar);
        QTRY_VERIFY(bar->position() > 0);
        // The worker now mostly sleeps in a send to this thread, which is not looking at its
        // events while it closes the dialog.
        QVERIFY(harness.dialog().close());
        QVERIFY(!harness.dialog().Jobs().Busy());
        QCOMPARE(harness.dialog().Jobs().LastResult()->ending, ProgramEnding::Cancelled);
        QVERIFY(!harness.dialog().isVisible());
    }
};

QTEST_MAIN(ProgrammingJobTest)
#include "ProgrammingJobTest.moc"
