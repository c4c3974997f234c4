// The service functions as the dialog runs them. What read-back, the transfer test, the image
// list and the scrambler compute is pinned in tests/unit/jobs and tests/unit/service; here only
// the dialog's part: the wiring, its prompts, its refusals and its end.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/WindowMessages.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr int kWait = 30000;  // generous: two shared cores, sanitizers
const LoggedCommand kLinkQuery{0xFC, 1, 0, 16, 16, 0};

std::vector<std::uint32_t> Addresses(EmulatedProgrammer& programmer, std::uint8_t op,
                                     std::uint16_t length) {
    std::vector<std::uint32_t> found;
    for (const LoggedCommand& c : programmer.Log()) {
        if (c.op == op && c.length == length) {
            found.push_back(c.address);
        }
    }
    return found;
}

std::vector<std::uint32_t> PageReads(EmulatedProgrammer& programmer) {
    return Addresses(programmer, 0xFD, 512);
}

void StartReadBack(DialogHarness& h, std::optional<QString> answer, std::int64_t length) {
    h.Control<QLineEdit>(ids::kLengthEdit)->setText(QString::number(length));
    h.prompts.fileAnswers.push_back(std::move(answer));
    h.Control<QPushButton>(ids::kReadFileButton)->click();
}

FaultPlan Latency(std::chrono::milliseconds perCommand) {
    FaultPlan plan;
    plan.latency = perCommand;
    return plan;
}

}  // namespace

class ServiceFunctionsTest : public QObject {
    Q_OBJECT

  private slots:
    void readBackSavesWholePagesOfTheLengthInTheEdit() {
        DialogHarness h;
        const auto flash = PatternBytes(DialogHarness::Options{}.flashSize);  // a whole image
        const TempFile image(flash);
        QVERIFY(h.programmer().LoadFlash(image.Path()).has_value());
        h.programmer().ClearLog();
        QTemporaryDir out;
        const QString path = out.filePath("flash.bin");

        StartReadBack(h, path, 1024);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);

        QCOMPARE(h.prompts.fileDialogs, QStringList{"save"});
        QCOMPARE(h.prompts.filters.constFirst().split(";;"),
                 (QStringList{"BIN 文件 Files (*.bin)", "All Files (*)"}));
        QCOMPARE(h.programmer().Log().front(), kLinkQuery);  // asked before the file was made
        QCOMPARE(PageReads(h.programmer()), (std::vector<std::uint32_t>{0, 512}));
        QCOMPARE(ReadAll(path), QByteArray(reinterpret_cast<const char*>(flash.data()), 1024));
        QVERIFY(h.prompts.messages.isEmpty());
        QVERIFY(h.LogLines().isEmpty());
    }

    void cancellingTheSaveDialogSendsNothing() {
        DialogHarness h;
        h.programmer().ClearLog();
        StartReadBack(h, std::nullopt, 1024);
        QVERIFY(!h.dialog().Jobs().Busy());
        QVERIFY(h.programmer().Log().empty());
    }

    void aReadBackThatCannotStartMakesNoFile_data() {
        QTest::addColumn<bool>("attached");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("no programmer: nothing said") << false << "flash.bin" << QStringList{};
        QTest::newRow("a file that cannot be made is told")
            << true << "no-such-dir/flash.bin" << QStringList{QString::fromUtf8("打开文件失败！")};
    }
    void aReadBackThatCannotStartMakesNoFile() {
        QFETCH(bool, attached);
        QFETCH(QString, name);
        QFETCH(QStringList, messages);
        DialogHarness h({.attached = attached});
        h.programmer().ClearLog();
        QTemporaryDir out;
        StartReadBack(h, out.filePath(name), 1024);
        QVERIFY(!h.dialog().Jobs().Busy());
        QCOMPARE(h.prompts.fileDialogs, QStringList{"save"});
        QVERIFY(!QFile::exists(out.filePath(name)));
        QCOMPARE(h.prompts.messages, messages);
        QVERIFY(PageReads(h.programmer()).empty());
    }

    // From the worker, through the display channel; the reading itself is pinned in
    // tests/unit/jobs.
    void aFailedPageReadIsToldAndLeavesNoFile() {
        // Two pages of flash: the third page read fails.
        DialogHarness h({.flashSize = 1024});
        QTemporaryDir out;
        const QString path = out.filePath("flash.bin");

        StartReadBack(h, path, 4096);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);

        QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8("读取Flash失败！")});
        QVERIFY(!QFile::exists(path));
    }

    void closingDuringAReadBackStopsItAndRemovesThePartialFile() {
        DialogHarness h({.faults = Latency(std::chrono::milliseconds(2))});
        QTemporaryDir out;
        const QString path = out.filePath("flash.bin");
        StartReadBack(h, path, 1 << 20);
        QVERIFY(h.dialog().Jobs().Busy());  // the dialog is not held up by the read
        QTRY_VERIFY_WITH_TIMEOUT(PageReads(h.programmer()).size() >= 2, kWait);
        QVERIFY(h.dialog().close());
        QVERIFY(!h.dialog().Jobs().Busy());
        QVERIFY(!QFile::exists(path));
        QVERIFY(h.prompts.messages.isEmpty());
    }

    void closingDuringTheTransferTestEndsItWithoutHanging() {
        // Every cycle past the one block of flash adds two lines: the worker mostly sleeps in
        // a send to this thread when it closes the dialog.
        DialogHarness h({.flashSize = 2048});
        h.Control<QPushButton>(ids::kTransferTestButton)->click();
        QTRY_VERIFY_WITH_TIMEOUT(h.LogLines().size() > 20, kWait);
        QCOMPARE(h.LogLines().mid(0, 2),
                 (QStringList{"transfer data err ..", "transfer compare err .."}));
        QVERIFY(h.dialog().close());
        QVERIFY(!h.dialog().Jobs().Busy());
        const auto shown = h.LogLines().size();
        QCoreApplication::processEvents();
        QCOMPARE(h.LogLines().size(), shown);
    }

    void aServiceIsRefusedWhileTheProgrammingJobWaitsOrRuns() {
        const TempFile firmware(PatternBytes(256 * 1024));
        QTemporaryDir out;
        DialogHarness h({.attached = false, .faults = Latency(std::chrono::milliseconds(1))});
        h.ChooseFile(Q(firmware.Path()));
        h.dialog().OnCommand(ids::kUpdateButton);
        QVERIFY(h.dialog().Jobs().Busy());  // waiting for a programmer
        StartReadBack(h, out.filePath("flash.bin"), 1024);
        QCOMPARE(h.prompts.fileDialogs, QStringList{"open"});  // no name asked in vain

        h.Plug();
        QTRY_VERIFY_WITH_TIMEOUT(!Addresses(h.programmer(), 0xFB, 512).empty(),
                                 kWait);  // now it writes
        h.Control<QPushButton>(ids::kTransferTestButton)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);
        QCOMPARE(h.dialog().Jobs().LastResult()->ending, ProgramEnding::Success);
        QVERIFY(Addresses(h.programmer(), 0xFB, 2048).empty());
        QVERIFY(PageReads(h.programmer()).empty());
        QVERIFY(!QFile::exists(out.filePath("flash.bin")));
    }

    // What the registration does is pinned in tests/unit/service; here the dialog's prompt
    // and what it shows.
    void updateToolAsksForAnImageAndShowsItWithoutChangingTheFirmware() {
        const TempFile firmware(PatternBytes(1500));
        DialogHarness h;
        h.ChooseFile(Q(firmware.Path()));
        h.prompts.fileAnswers.push_back("/e/notes.txt");
        h.dialog().WindowProc(kWmCommand, ids::kCmdUpdateTool, 0);
        QCOMPARE(h.images.Count(), std::size_t{1});
        QCOMPARE(h.prompts.fileDialogs.constLast(), QStringLiteral("open any name"));
        QCOMPARE(h.prompts.filters.constLast(), QStringLiteral("ISO 文件 Files (*.iso)"));
        QCOMPARE(h.Control<QLineEdit>(ids::kPathEdit)->text(), QStringLiteral("/e/notes.txt"));
        QCOMPARE(h.Control<QLineEdit>(ids::kLengthEdit)->text(), "1500");
        QCOMPARE(h.firmwarePath.Get(), firmware.Path());
    }

    // Where the self-test leaves a scrambler is pinned in tests/unit/service.
    void theScramblerButtonRunsTheSelfTestOnTheApplicationsScrambler() {
        DialogHarness h;
        h.scrambler.SetScramblerSeed(0x1234);
        h.programmer().ClearLog();
        h.Control<QPushButton>(ids::kScramblerButton)->click();
        Scrambler expected;
        static_cast<void>(expected.RunSelfTest());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(h.scrambler.NextScramblerByte(), expected.NextScramblerByte());
        }
        QVERIFY(h.LogLines().isEmpty());
        QVERIFY(h.prompts.messages.isEmpty());
        QVERIFY(h.programmer().Log().empty());
    }
};

QTEST_MAIN(ServiceFunctionsTest)
#include "ServiceFunctionsTest.moc"
