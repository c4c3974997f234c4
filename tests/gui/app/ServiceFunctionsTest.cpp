#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <iostream>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "app/WindowMessages.h"
#include "link/CCodeProgram.h"
#include "service/UpdateTool.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr int kWait = 30000;  // generous: two shared cores, sanitizers
const LoggedCommand kLinkQuery{0xFC, 1, 0, 16, 16, 0};
const QString kReadFailed = QString::fromUtf8("读取Flash失败！");
const QString kDataErr = QStringLiteral("transfer data err ..");
const QString kCompareErr = QStringLiteral("transfer compare err ..");

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// What standard error received while the object lived.
class StderrCapture {
  public:
    StderrCapture() : saved(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(saved); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    QString Text() const { return Q(buffer.str()); }

  private:
    std::ostringstream buffer;
    std::streambuf* saved;
};

QByteArray Bytes(const std::vector<std::uint8_t>& bytes, std::size_t count) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(count));
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<std::uint32_t> Addresses(const std::vector<LoggedCommand>& log, std::uint8_t op,
                                     std::uint16_t length) {
    std::vector<std::uint32_t> found;
    for (const LoggedCommand& c : log) {
        if (c.op == op && c.length == length) {
            found.push_back(c.address);
        }
    }
    return found;
}

std::vector<std::uint32_t> PageReads(EmulatedProgrammer& programmer) {
    return Addresses(programmer.Log(), 0xFD, 512);
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

void StartTransferTest(DialogHarness& h) {
    h.Control<QPushButton>(ids::kTransferTestButton)->click();
}

}  // namespace

class ServiceFunctionsTest : public QObject {
    Q_OBJECT

  private slots:
    void readBackSavesWholePagesOfTheLengthInTheEdit_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<std::vector<std::uint32_t>>("reads");
        QTest::newRow("two pages") << 1024 << std::vector<std::uint32_t>{0, 512};
        QTest::newRow("a partial page is dropped") << 1000 << std::vector<std::uint32_t>{0};
        QTest::newRow("below one page") << 300 << std::vector<std::uint32_t>{};
    }
    void readBackSavesWholePagesOfTheLengthInTheEdit() {
        QFETCH(int, length);
        QFETCH(std::vector<std::uint32_t>, reads);
        const auto flash = PatternBytes(4096);
        const TempFile image(flash);
        DialogHarness h;
        QCOMPARE(h.programmer().LoadFlash(image.Path()), std::string());
        h.programmer().ClearLog();
        const QStringList lines = h.LogLines();
        QTemporaryDir out;
        const QString path = out.filePath("flash.bin");

        StartReadBack(h, path, length);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);

        QCOMPARE(h.prompts.fileDialogs, QStringList{"save"});
        QCOMPARE(h.prompts.filters.constFirst().split(";;"),
                 (QStringList{"BIN 文件 Files (*.bin)", "All Files (*)"}));
        const auto log = h.programmer().Log();
        QCOMPARE(log.size(), 1 + reads.size());
        QCOMPARE(log.front(), kLinkQuery);  // asked before the file was made
        QCOMPARE(PageReads(h.programmer()), reads);
        QCOMPARE(ReadAll(path), Bytes(flash, reads.size() * 512));
        QVERIFY(h.prompts.messages.isEmpty());
        QCOMPARE(h.LogLines(), lines);
    }

    void cancellingTheSaveDialogSendsNothing() {
        DialogHarness h;
        h.programmer().ClearLog();
        StartReadBack(h, std::nullopt, 1024);
        QVERIFY(!h.dialog().Jobs().Busy());
        QVERIFY(h.programmer().Log().empty());
    }

    void withoutAnAnsweringProgrammerNoFileIsMadeAndNothingSaid_data() {
        QTest::addColumn<bool>("attached");
        QTest::newRow("none attached") << false;
        QTest::newRow("attached but silent") << true;
    }
    void withoutAnAnsweringProgrammerNoFileIsMadeAndNothingSaid() {
        QFETCH(bool, attached);
        DialogHarness h({.attached = attached});
        FaultPlan silent;
        silent.muteLinkQuery = true;
        h.programmer().SetFaults(silent);
        h.programmer().ClearLog();
        QTemporaryDir out;
        StartReadBack(h, out.filePath("flash.bin"), 1024);
        QVERIFY(!h.dialog().Jobs().Busy());
        QCOMPARE(h.prompts.fileDialogs, QStringList{"save"});
        QVERIFY(!QFile::exists(out.filePath("flash.bin")));
        QVERIFY(h.prompts.messages.isEmpty());
        QVERIFY(PageReads(h.programmer()).empty());
    }

    void aFileThatCannotBeCreatedIsToldAndTheFlashIsNotRead() {
        DialogHarness h;
        h.programmer().ClearLog();
        QTemporaryDir out;
        StartReadBack(h, out.filePath("no-such-dir/flash.bin"), 1024);
        QVERIFY(!h.dialog().Jobs().Busy());
        QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8("打开文件失败！")});
        QCOMPARE(h.programmer().Log(), std::vector<LoggedCommand>{kLinkQuery});
    }

    void aFailedPageReadStopsAndLeavesNoFileNotEvenTheOldOne() {
        // Two pages of flash: the third page read fails.
        DialogHarness h({.flashSize = 1024});
        QTemporaryDir out;
        const QString path = out.filePath("flash.bin");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4096, '\xAA')) == 4096);
        old.close();
        h.programmer().ClearLog();

        StartReadBack(h, path, 4096);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);

        QCOMPARE(h.prompts.messages, QStringList{kReadFailed});
        QVERIFY(!QFile::exists(path));
        QCOMPARE(PageReads(h.programmer()), (std::vector<std::uint32_t>{0, 512, 1024}));
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

    void theTransferTestWritesThePatternBlockAfterBlockUpToItsBound() {
        DialogHarness h({.transferTestBound = 3 * 2048 + 100});
        h.programmer().ClearLog();
        const QStringList lines = h.LogLines();
        StartTransferTest(h);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);

        std::vector<std::uint8_t> pattern(2048);
        for (std::size_t k = 0; k < pattern.size(); ++k) {
            pattern[k] = static_cast<std::uint8_t>(k % 64);
        }
        const std::uint16_t crc = CCodeProgram::CalcCrc16(pattern.data(), 2048);
        std::vector<LoggedCommand> expected{kLinkQuery};
        for (std::uint32_t address : {0u, 2048u, 4096u}) {
            expected.push_back({0xFB, 0x01, address, 2048, 2048, crc});
            expected.push_back({0xFC, 7, 0, 16, 16, 0});
            expected.push_back({0xFD, 0x01, address, 2048, 2048, 0});
        }
        QCOMPARE(h.programmer().Log(), expected);
        QCOMPARE(h.LogLines(), lines);  // a write status of 0 adds nothing
        QCOMPARE(h.programmer().FlashBytes(4096, 2048), pattern);
    }

    void aBadTransferCycleAddsItsLine_data() {
        QTest::addColumn<bool>("badStatus");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("write status 1") << true << QStringList{kDataErr, kCompareErr};
        QTest::newRow("block reads back different") << false << QStringList{kCompareErr};
    }
    void aBadTransferCycleAddsItsLine() {
        QFETCH(bool, badStatus);
        QFETCH(QStringList, added);
        DialogHarness h({.transferTestBound = 2048});
        FaultPlan plan;
        if (badStatus) {
            plan.resendPage = {{0, 1}};  // not programmed, so it reads back erased as well
        } else {
            // Link query, write and status answered; gone before the read.
            plan.dropAfterCommands = h.programmer().Log().size() + 3;
        }
        h.programmer().SetFaults(plan);
        const QStringList lines = h.LogLines();
        StartTransferTest(h);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);
        QCOMPARE(h.LogLines(), lines + added);
    }

    void withoutAProgrammerTheTransferTestStartsNothing() {
        DialogHarness h({.attached = false});
        StartTransferTest(h);
        QVERIFY(!h.dialog().Jobs().Busy());
        QVERIFY(h.programmer().Log().empty());
    }

    void closingDuringTheTransferTestEndsItWithoutHanging() {
        // Every cycle past the one block of flash adds two lines: the worker mostly sleeps in
        // a send to this thread when it closes the dialog.
        DialogHarness h({.flashSize = 2048});
        StartTransferTest(h);
        QTRY_VERIFY_WITH_TIMEOUT(h.LogLines().size() > 20, kWait);
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
        {
            StderrCapture errors;
            StartReadBack(h, out.filePath("flash.bin"), 1024);
            QVERIFY(errors.Text().contains(
                "the flash read-back is refused: the programming job waits or runs"));
        }
        QCOMPARE(h.prompts.fileDialogs, QStringList{"open"});  // no name asked in vain

        h.Plug();
        QTRY_VERIFY_WITH_TIMEOUT(!Addresses(h.programmer().Log(), 0xFB, 512).empty(),
                                 kWait);  // now it writes
        StartTransferTest(h);
        QTRY_VERIFY_WITH_TIMEOUT(!h.dialog().Jobs().Busy(), kWait);
        QCOMPARE(h.dialog().Jobs().LastResult()->ending, ProgramEnding::Success);
        QVERIFY(Addresses(h.programmer().Log(), 0xFB, 2048).empty());
        QVERIFY(PageReads(h.programmer()).empty());
        QVERIFY(!QFile::exists(out.filePath("flash.bin")));
    }

    void theUpdateButtonIsRefusedWhileAServiceRuns() {
        const TempFile firmware(PatternBytes(4096));
        DialogHarness h({.faults = Latency(std::chrono::milliseconds(1))});
        h.ChooseFile(Q(firmware.Path()));
        StartTransferTest(h);
        QVERIFY(h.dialog().Jobs().Busy());
        {
            StderrCapture errors;
            QTest::mouseClick(h.Control<QPushButton>(ids::kUpdateButton), Qt::LeftButton);
            QVERIFY(errors.Text().contains("the programming job is refused: the transfer test"));
        }
        QVERIFY(h.dialog().close());
        QVERIFY(!h.dialog().Jobs().LastResult());
        const auto log = h.programmer().Log();
        QVERIFY(std::none_of(log.begin(), log.end(), [](const LoggedCommand& c) {
            return c.op == 0xFB && c.sub == 0;  // no erase
        }));
    }

    void updateToolRegistersImagesByTypeAndTellsOfARepeatedName() {
        const TempFile firmware(PatternBytes(1500));
        DialogHarness h;
        h.ChooseFile(Q(firmware.Path()));
        const QString exists =
            QString::fromUtf8(kImageAlreadyPresentMessage.data(),
                              static_cast<qsizetype>(kImageAlreadyPresentMessage.size()));
        struct Step {
            std::optional<QString> answer;
            QStringList entries;
            QStringList messages;
        };
        const std::vector<Step> steps{
            {"/img/a.iso", {"/img/a.iso"}, {}},
            {"/d/b.iso", {"/d/b.iso"}, {}},  // same type: replaces
            {"/img/a.otp", {"/d/b.iso", "/img/a.otp"}, {}},
            {"/x/notes.txt", {"/d/b.iso", "/img/a.otp", "/x/notes.txt"}, {}},
            {"/e/notes.txt", {"/d/b.iso", "/img/a.otp", "/e/notes.txt"}, {exists}},
            {std::nullopt, {"/d/b.iso", "/img/a.otp", "/e/notes.txt"}, {exists}},  // cancelled
        };
        QString shown;
        for (const Step& step : steps) {
            h.prompts.fileAnswers.push_back(step.answer);
            h.dialog().WindowProc(kWmCommand, ids::kCmdUpdateTool, 0);
            QStringList entries;
            for (std::size_t i = 0; i < h.images.Count(); ++i) {
                entries << Q(h.images.At(i));
            }
            QCOMPARE(entries, step.entries);
            QCOMPARE(h.prompts.messages, step.messages);
            QCOMPARE(h.prompts.fileDialogs.constLast(), QStringLiteral("open any name"));
            QCOMPARE(h.prompts.filters.constLast(), QStringLiteral("ISO 文件 Files (*.iso)"));
            if (step.answer) {
                shown = *step.answer;
            }
            QCOMPARE(h.Control<QLineEdit>(ids::kPathEdit)->text(), shown);
            // Neither the firmware to program nor its length changes.
            QCOMPARE(h.Control<QLineEdit>(ids::kLengthEdit)->text(), "1500");
            QCOMPARE(h.firmwarePath.Get(), firmware.Path());
        }
    }

    void theScramblerButtonLeavesTheSequenceEightBytesPastTheSelfTestSeed() {
        DialogHarness h;
        h.scrambler.SetScramblerSeed(0x1234);
        h.programmer().ClearLog();
        const QStringList lines = h.LogLines();
        for (int press = 0; press < 2; ++press) {  // each press starts again from the seed
            static_cast<void>(h.scrambler.NextScramblerByte());
            h.Control<QPushButton>(ids::kScramblerButton)->click();
            Scrambler expected;
            expected.SetScramblerSeed(Scrambler::kSelfTestSeed);
            for (int i = 0; i < 8; ++i) {
                static_cast<void>(expected.NextScramblerByte());
            }
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(h.scrambler.NextScramblerByte(), expected.NextScramblerByte());
            }
        }
        QCOMPARE(h.LogLines(), lines);
        QVERIFY(h.prompts.messages.isEmpty());
        QVERIFY(h.programmer().Log().empty());
    }
};

QTEST_MAIN(ServiceFunctionsTest)
#include "ServiceFunctionsTest.moc"
