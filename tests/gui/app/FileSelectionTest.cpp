#include <QLineEdit>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "app/ExclusiveFileProbe.h"
#include "app/FileSelection.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class FileSelectionTest : public QObject {
    Q_OBJECT

    const QString openFailed = QString::fromUtf8(texts::kOpenFileFailed);

    QString PathShown(DialogHarness& h) { return h.Control<QLineEdit>(ids::kPathEdit)->text(); }
    QString LengthShown(DialogHarness& h) { return h.Control<QLineEdit>(ids::kLengthEdit)->text(); }

  private slots:
    void aChosenFileIsShownWithItsLength_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("1000 bytes") << 1000;
        QTest::newRow("empty file") << 0;
    }
    void aChosenFileIsShownWithItsLength() {
        QFETCH(int, size);
        const TempFile file(PatternBytes(static_cast<std::size_t>(size)), "固件 1.bin");
        DialogHarness harness;
        harness.ChooseFile(Q(file.Path()));
        QCOMPARE(harness.prompts.filters, QStringList{"Bin 文件 Files (*.bin)"});
        QVERIFY(harness.prompts.messages.isEmpty());
        QCOMPARE(harness.firmwarePath.Get(), file.Path());
        QCOMPARE(PathShown(harness), Q(file.Path()));
        QCOMPARE(LengthShown(harness), QString::number(size));
        QCOMPARE(harness.dialog().Data().fileLength, size);
        LockHolder other(file.Path(), LockHolder::Flock);
        QVERIFY(other.ok);  // the lock was held only while the file was looked at
        // A path typed afterwards does not change the file the job writes.
        harness.Control<QLineEdit>(ids::kPathEdit)->setText(QStringLiteral("/etc/passwd"));
        QVERIFY(harness.dialog().UpdateData(true));
        QCOMPARE(harness.firmwarePath.Get(), file.Path());
    }

    void cancellingChangesNothing() {
        const TempFile file(PatternBytes(700));
        DialogHarness harness;
        harness.ChooseFile(Q(file.Path()));
        harness.ChooseFile(std::nullopt);
        QCOMPARE(harness.prompts.filters.size(), 2);
        QVERIFY(harness.prompts.messages.isEmpty());
        QCOMPARE(harness.firmwarePath.Get(), file.Path());
        QCOMPARE(harness.dialog().Data().pathText, Q(file.Path()));
        QCOMPARE(PathShown(harness), Q(file.Path()));
        QCOMPARE(LengthShown(harness), QStringLiteral("700"));
    }

    void aFileThatCannotBeTakenFailsAndKeepsTheEarlierDisplay_data() {
        QTest::addColumn<QString>("why");
        QTest::newRow("locked by another holder (flock)") << "flock";
        QTest::newRow("record-locked by another holder") << "record";
        QTest::newRow("gone") << "missing";
        QTest::newRow("a directory") << "directory";
    }
    void aFileThatCannotBeTakenFailsAndKeepsTheEarlierDisplay() {
        QFETCH(QString, why);
        const TempFile good(PatternBytes(1000), "good.bin");
        const TempFile bad(PatternBytes(2000), "bad.bin");
        std::optional<LockHolder> holder;
        std::string badPath = bad.Path();
        if (why == "flock") {
            holder.emplace(bad.Path(), LockHolder::Flock);
        } else if (why == "record") {
            holder.emplace(bad.Path(), LockHolder::RecordLock);
        } else if (why == "missing") {
            badPath = bad.Dir() + "/vanished.bin";
        } else {
            badPath = bad.Dir();
        }
        QVERIFY(!holder || holder->ok);

        DialogHarness harness;
        harness.ChooseFile(Q(good.Path()));
        harness.ChooseFile(Q(badPath));
        QCOMPARE(harness.prompts.messages, QStringList{openFailed});
        QCOMPARE(harness.firmwarePath.Get(), std::string());
        QCOMPARE(harness.dialog().Data().pathText, Q(badPath));  // the failed one is kept
        QCOMPARE(PathShown(harness), Q(good.Path()));            // the display is not
        QCOMPARE(LengthShown(harness), QStringLiteral("1000"));
        QCOMPARE(harness.dialog().Data().fileLength, 1000);
    }

    // The job reads FirmwarePath on its own thread: a file still being checked must not be
    // there yet, so a job starting meanwhile never takes one the check then refuses.
    void theFirmwarePathChangesOnlyOnceTheCheckHasDecided_data() {
        QTest::addColumn<bool>("locked");
        QTest::newRow("a file that passes") << false;
        QTest::newRow("a file that is refused") << true;
    }
    void theFirmwarePathChangesOnlyOnceTheCheckHasDecided() {
        QFETCH(bool, locked);
        const TempFile earlier(PatternBytes(10), "earlier.bin");
        const TempFile next(PatternBytes(1000), "next.bin");
        std::optional<LockHolder> holder;
        if (locked) {
            holder.emplace(next.Path(), LockHolder::Flock);
            QVERIFY(holder->ok);
        }
        FakePrompts prompts;
        FirmwarePath firmwarePath;
        firmwarePath.Set(earlier.Path());
        std::string duringCheck = "never checked";
        FileSelection selection(prompts, firmwarePath,
                                [&](const std::string& path, std::string* reason) {
                                    duringCheck = firmwarePath.Get();
                                    return ExclusiveFileProbe::Length(path, reason);
                                });
        prompts.fileAnswers.push_back(Q(next.Path()));
        DialogData data;

        QCOMPARE(selection.Choose(data),
                 locked ? FileSelection::Outcome::Failed : FileSelection::Outcome::Chosen);
        QCOMPARE(duringCheck, earlier.Path());
        QCOMPARE(firmwarePath.Get(), locked ? std::string() : next.Path());
    }
};

QTEST_MAIN(FileSelectionTest)
#include "FileSelectionTest.moc"
