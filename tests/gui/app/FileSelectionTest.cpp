#include <QLineEdit>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class FileSelectionTest : public QObject {
    Q_OBJECT

    static QString Shown(DialogHarness& h, int id) { return h.Control<QLineEdit>(id)->text(); }

  private slots:
    void aChosenFileIsShownWithItsLengthAndCancellingKeepsIt() {
        const TempFile file(PatternBytes(1000), "固件 1.bin");
        DialogHarness h;
        h.ChooseFile(Q(file.Path()));
        h.ChooseFile(std::nullopt);
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
        const TempFile good(PatternBytes(1000), "good.bin");
        const TempFile bad(PatternBytes(2000), "bad.bin");
        // Locked by flock, locked by a record lock, gone, a directory.
        const std::string paths[] = {bad.Path(), bad.Path(), bad.Dir() + "/gone", bad.Dir()};
        for (int i = 0; i < 4; ++i) {
            std::optional<LockHolder> holder;
            if (i < 2) {
                holder.emplace(bad.Path(), i == 1);
            }
            DialogHarness h;
            h.ChooseFile(Q(good.Path()));
            h.ChooseFile(Q(paths[i]));
            QCOMPARE(h.prompts.messages, QStringList{QString::fromUtf8(texts::kOpenFileFailed)});
            QCOMPARE(h.firmwarePath.Get(), std::string());
            QCOMPARE(h.dialog().Data().pathText, Q(paths[i]));   // the failed one is kept
            QCOMPARE(Shown(h, ids::kPathEdit), Q(good.Path()));  // the display is not
            QCOMPARE(Shown(h, ids::kLengthEdit), QStringLiteral("1000"));
        }
    }
};

QTEST_MAIN(FileSelectionTest)
#include "FileSelectionTest.moc"
