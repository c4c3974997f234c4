// The jobs as the dialog starts and ends them: the update button's job as the person sees it, and
// the service functions' wiring, prompts, refusals and end. What the jobs compute and how each
// ends is pinned in tests/unit/jobs and tests/unit/service.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "jobs/JobTexts.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr int kWait = 30000;  // generous: two shared cores, sanitizers

}  // namespace

class JobsTest : public QObject {
    Q_OBJECT

  private slots:
    // The button writes the file chosen, whatever is chosen meanwhile, and ends in solid green; a
    // failed job's display commands are ProgramJobEndingsTest's, the red bar DialogTest's.
    void theUpdateButtonWritesTheChosenFileAndEndsInSolidGreen() {
        const auto bytes = PatternBytes(200 * 1024 + 100);
        const TempFile file(bytes, "firmware.bin");
        DialogHarness h;
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
        QCOMPARE(h.programmer().FlashBytes(0, static_cast<std::uint32_t>(bytes.size())), bytes);

        QCOMPARE(LogLines(h.dialog()),
                 (QStringList{texts::kErasing, texts::kWriting, texts::kWriteDone}));
        QVERIFY(BarIsSolid(h.dialog(), qRgb(0, 255, 1)));
        QVERIFY(button->isEnabled() && h.prompts.messages.isEmpty());
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
        h.prompts.fileAnswers << (name.isEmpty() ? QString() : out.filePath(name));
        h.Control<QPushButton>(ids::kReadFileButton)->click();
        if (closeWhileReading) {
            QTRY_VERIFY_WITH_TIMEOUT(
                std::ranges::count(h.programmer().Log(), kOpPageRead, &LoggedCommand::op) >= 2,
                kWait);
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
