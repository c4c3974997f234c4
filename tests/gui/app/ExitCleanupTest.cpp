#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/ExitCleanup.h"
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
    // The scratch file goes; the copy lands only in a private "programmer" directory of this
    // user that exists, and never over or through what is under the target's name: in a shared
    // temporary directory anything else may have been planted by another user.
    void theScratchFileGoesAndTheCopyLandsOnlyWhereItMay_data() {
        QTest::addColumn<QString>("programmer");  // the directory, or what is there instead
        QTest::addColumn<QString>("source");      // relative to a directory with chosen.bin
        QTest::addColumn<QString>("atTarget");    // "copy": an earlier one; "link": a symlink
        for (const auto& [name, programmer, source, atTarget] :
             std::initializer_list<std::array<const char*, 4>>{
                 {"copied", "ours", "chosen.bin", ""},
                 {"no programmer directory", "none", "chosen.bin", ""},
                 {"a copy is there already", "ours", "chosen.bin", "copy"},
                 {"no file chosen", "ours", "", ""},
                 {"the file is gone", "ours", "gone.bin", ""},
                 {"a directory", "ours", ".", ""},
                 {"another user's directory and file", "another user's", "chosen.bin", ""},
                 {"a group-writable directory", "group-writable", "chosen.bin", ""},
                 {"a link to a directory of ours", "link", "chosen.bin", ""},
                 {"a link under the target's name", "ours", "chosen.bin", "link"}}) {
            QTest::newRow(name) << QString(programmer) << QString(source) << QString(atTarget);
        }
    }
    void theScratchFileGoesAndTheCopyLandsOnlyWhereItMay() {
        QFETCH(QString, programmer);
        QFETCH(QString, source);
        QFETCH(QString, atTarget);
        QTemporaryDir temp;
        QTemporaryDir elsewhere;
        Prepare(temp.path(), programmer != "none" && programmer != "link");
        Write(elsewhere.filePath("chosen.bin"), "the chosen file");
        const QString target = temp.filePath(kCopy);
        const QString linkedTo = elsewhere.filePath("planted.bof");
        if (programmer == "another user's") {
            // The tool decides by the effective user; only root can make something another's.
            if (geteuid() != 0) {
                QSKIP("making files of another user needs root");
            }
            for (const char* name : {"programmer", "mydata.bin"}) {
                QCOMPARE(chown(QFile::encodeName(temp.filePath(name)), 65534, 65534), 0);
            }
        } else if (programmer == "group-writable") {
            QCOMPARE(chmod(QFile::encodeName(temp.filePath("programmer")), 0775), 0);
        } else if (programmer == "link") {
            QVERIFY(QDir(elsewhere.path()).mkdir("ours"));
            QVERIFY(QFile::link(elsewhere.filePath("ours"), temp.filePath("programmer")));
        }
        if (atTarget == "copy") {
            Write(target, "first copy");
        } else if (atTarget == "link") {
            QVERIFY(QFile::link(linkedTo, target));
        }

        ExitCleanup::Run(
            QFile::encodeName(temp.path() + "/").toStdString(),
            QFile::encodeName(source.isEmpty() ? source : elsewhere.filePath(source)).toStdString(),
            {0, 0});

        // Another user's scratch file is theirs to delete.
        QCOMPARE(QFile::exists(temp.filePath("mydata.bin")), programmer == "another user's");
        if (QTest::currentDataTag() == QLatin1String("copied")) {
            QCOMPARE(ReadAll(target), QByteArray("the chosen file"));
            QCOMPARE(QFileInfo(target).permissions() & 0x0077, QFile::Permissions());  // private
        } else if (atTarget == "copy") {
            QCOMPARE(ReadAll(target), QByteArray("first copy"));
        } else {
            QVERIFY(!QFile::exists(target));  // follows links: nothing written through one
        }
        QVERIFY(!QFile::exists(linkedTo));
        QVERIFY(!QFile::exists(elsewhere.filePath("ours/") + QFileInfo(kCopy).fileName()));
    }

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
