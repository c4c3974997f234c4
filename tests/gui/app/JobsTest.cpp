// The jobs as the dialog starts and ends them: the programming job's endings as the person sees
// them, and the service functions' wiring, prompts, refusals and end. What the jobs compute is
// pinned in tests/unit/jobs and tests/unit/service.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <set>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "jobs/JobTexts.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr QRgb kGreen = qRgb(0, 255, 1);
constexpr QRgb kRed = qRgb(255, 0, 1);
constexpr int kWait = 30000;  // generous: two shared cores, sanitizers

std::size_t Count(EmulatedProgrammer& programmer, std::uint8_t op, std::uint16_t length,
                  std::uint8_t sub = 0xFF) {
    const auto log = programmer.Log();
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [&](const auto& c) {
        return c.op == op && (sub == 0xFF ? c.length == length : c.sub == sub);
    }));
}

}  // namespace

class JobsTest : public QObject {
    Q_OBJECT

  private slots:
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
        DialogHarness h(
            {.faults = {.failPage = failWrite ? std::set{0x400u} : std::set<std::uint32_t>()}});
        h.ChooseFile(Q(file.Path()));
        auto* button = h.Control<QPushButton>(ids::kUpdateButton);
        QTest::mouseClick(button, Qt::LeftButton);
        // The job's first send waits for this thread, so it still runs: another file chosen
        // now must not pass for the one written.
        QVERIFY(h.dialog().Jobs().Busy());
        const TempFile other(PatternBytes(10), "other.bin");
        h.ChooseFile(Q(other.Path()));
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);
        QCOMPARE(h.prompts.fileDialogs, QStringList{"open"});  // none asked while busy
        QCOMPARE(h.firmwarePath.Get(), file.Path());

        QTEST(LogLines(h.dialog()), "lines");
        QFETCH(QRgb, colour);
        QVERIFY(BarIsSolid(h.dialog(), colour));
        QVERIFY(button->isEnabled() && h.prompts.messages.isEmpty());
        if (!failWrite) {
            QCOMPARE(h.programmer().FlashBytes(0, static_cast<std::uint32_t>(bytes.size())), bytes);
            QCOMPARE(Count(h.programmer(), 0xFB, 0, 0), std::size_t{4});
        }
    }

    // The length in the edit is saved. Cancelled, no programmer, a file that cannot be made, the
    // dialog closed meanwhile: no file stays behind, and only what the person can mend is told.
    // A failed page read is tests/unit/jobs/ReadBackTest's.
    void readBack_data() {
        QTest::addColumn<QString>("name");  // empty: the save dialog cancelled
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("saved") << "f.bin" << QStringList{};
        QTest::newRow("cancelled") << "" << QStringList{};
        QTest::newRow("no programmer") << "f.bin" << QStringList{};
        QTest::newRow("cannot be made") << "no-dir/f.bin" << QStringList{"打开文件失败！"};
        QTest::newRow("closed meanwhile") << "f.bin" << QStringList{};
    }
    void readBack() {
        QFETCH(QString, name);
        const QByteArray tag = QTest::currentDataTag();
        const bool closeWhileReading = tag == "closed meanwhile";
        QTemporaryDir out;
        const TempFile image(PatternBytes(1u << 20));
        DialogHarness h(
            {.attached = tag != "no programmer",
             .faults = {.latency = std::chrono::microseconds(closeWhileReading ? 2000 : 0)}});
        QVERIFY(h.programmer().LoadFlash(image.Path()).has_value());
        h.Control<QLineEdit>(ids::kLengthEdit)->setText(closeWhileReading ? "1048576" : "4096");
        h.prompts.fileAnswers.push_back(name.isEmpty() ? std::nullopt
                                                       : std::optional(out.filePath(name)));
        h.Control<QPushButton>(ids::kReadFileButton)->click();
        if (closeWhileReading) {
            QTRY_VERIFY_WITH_TIMEOUT(Count(h.programmer(), 0xFD, 512) >= 2, kWait);
            QVERIFY(h.dialog().close());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);
        QTEST(h.prompts.messages, "messages");
        if (tag == "saved") {
            const auto flash = PatternBytes(4096);
            QCOMPARE(ReadAll(out.filePath(name)),
                     QByteArray(reinterpret_cast<const char*>(flash.data()), 4096));
        } else {
            QVERIFY(name.isEmpty() || !QFile::exists(out.filePath(name)));
        }
    }

    void closingDuringAJobEndsItWithoutHanging_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<std::size_t>("flashSize");  // the transfer test's lines: past its end
        QTest::newRow("programming job") << int(ids::kUpdateButton) << std::size_t{1u << 20};
        QTest::newRow("transfer test") << int(ids::kTransferTestButton) << std::size_t{2048};
    }
    void closingDuringAJobEndsItWithoutHanging() {
        QFETCH(int, button);
        QFETCH(std::size_t, flashSize);
        const TempFile file(PatternBytes(1u << 20));
        DialogHarness h(
            {.faults = {.latency = std::chrono::microseconds(200)}, .flashSize = flashSize});
        h.ChooseFile(Q(file.Path()));
        h.Control<QPushButton>(button)->click();
        QTRY_VERIFY_WITH_TIMEOUT(LogLines(h.dialog()).size() >= 2, kWait);
        // The worker now mostly sleeps in a send to this thread, which is not looking at its
        // events while it closes the dialog.
        QVERIFY(h.dialog().close());
        QVERIFY(!h.dialog().Jobs().Busy());
        QVERIFY(button != ids::kUpdateButton ||
                h.dialog().Jobs().LastResult()->ending == ProgramEnding::Cancelled);
        const auto shown = LogLines(h.dialog()).size();
        QCoreApplication::processEvents();
        QCOMPARE(LogLines(h.dialog()).size(), shown);
    }
};

QTEST_MAIN(JobsTest)
#include "JobsTest.moc"
