#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/WindowMessages.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

const QString kCopy = QStringLiteral("programmer/$$$win00000000-0000.bof");

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A temporary directory as the tool finds it: a scratch file, and a private "programmer"
// directory (mode 0755 whatever the umask) if wanted.
void Prepare(const QString& tempDirectory, bool withProgrammerDir) {
    Write(tempDirectory + "/mydata.bin", "scratch");
    if (withProgrammerDir) {
        QVERIFY(QDir(tempDirectory).mkdir("programmer"));
        QCOMPARE(chmod(QFile::encodeName(tempDirectory + "/programmer"), 0755), 0);
    }
}

}  // namespace

class ExitCleanupTest : public QObject {
    Q_OBJECT

  private slots:
    // From the dialog: once, however it is closed, with the path last chosen.
    void theDialogRunsItOnceWithThePathLastChosen_data() {
        QTest::addColumn<QString>("choice");  // after a good file
        QTest::addColumn<int>("how");         // 0 title bar, 1 system menu's Close, 2 Exit
        QTest::newRow("title bar") << "" << 0;
        QTest::newRow("system menu's Close") << "" << 1;
        QTest::newRow("Exit command") << "" << 2;
        QTest::newRow("a selection that failed") << "failed" << 0;  // the copy is of last.iso
        QTest::newRow("an image registered") << "image" << 0;
    }
    void theDialogRunsItOnceWithThePathLastChosen() {
        QFETCH(QString, choice);
        QFETCH(int, how);
        const TempFile good({1, 1, 1}, "good.bin");
        const TempFile last({2, 2, 2}, "last.iso");
        DialogHarness h;
        Prepare(h.TempDirectory(), true);
        h.ChooseFile(Q(good.Path()));
        if (choice == "failed") {
            const LockHolder holder(last.Path());
            h.ChooseFile(Q(last.Path()));
            QCOMPARE(h.firmwarePath.Get(), std::string());  // it did fail
        } else if (choice == "image") {
            h.prompts.fileAnswers.push_back(Q(last.Path()));
            h.dialog().WindowProc(kWmCommand, ids::kCmdUpdateTool, 0);
        } else if (how != 2) {
            // Only Exit exchanges data: a length that is no integer goes unsaid otherwise.
            h.Control<QLineEdit>(ids::kLengthEdit)->setText(QStringLiteral("no number"));
        }
        h.prompts.messages.clear();
        QSignalSpy finished(&h.dialog(), &QDialog::finished);
        const auto close = [&] {
            if (how == 0) {
                h.dialog().close();  // takes nothing from the edits
            } else {
                h.dialog().WindowProc(how == 1 ? kWmSysCommand : kWmCommand,
                                      how == 1 ? kSysCommandClose : ids::kCmdExit, 0);
            }
        };
        close();
        QVERIFY(!h.dialog().isVisible() &&
                h.dialog().result() == (how == 2 ? QDialog::Accepted : QDialog::Rejected));
        QVERIFY(h.prompts.messages.isEmpty());
        QVERIFY(!QFile::exists(h.TempDirectory() + "/mydata.bin"));
        QCOMPARE(ReadAll(h.TempDirectory() + "/" + kCopy), QByteArray(3, choice.isEmpty() ? 1 : 2));

        // Anything after the first end must not clean up again.
        Prepare(h.TempDirectory(), false);
        QFile::remove(h.TempDirectory() + "/" + kCopy);
        close();
        QCOMPARE(finished.count(), how == 2 ? 2 : 1);  // Exit accepts again, closing does not
        h.dialog().done(QDialog::Rejected);
        QVERIFY(QFile::exists(h.TempDirectory() + "/mydata.bin"));
        QVERIFY(!QFile::exists(h.TempDirectory() + "/" + kCopy));
    }
};

QTEST_MAIN(ExitCleanupTest)
#include "ExitCleanupTest.moc"
