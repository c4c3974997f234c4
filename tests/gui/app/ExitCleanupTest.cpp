#include <QDir>
#include <QFile>
#include <QLineEdit>
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

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64{bytes.size()});
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A temporary directory as the tool finds it: a scratch file, and "programmer" if wanted.
void Prepare(const QString& tempDirectory, bool withProgrammerDir) {
    Write(tempDirectory + "/mydata.bin", "scratch");
    if (withProgrammerDir) {
        QVERIFY(QDir(tempDirectory).mkdir("programmer"));
    }
}

void RunCleanup(const QTemporaryDir& temp, const QString& chosen) {
    ExitCleanup::Run(QFile::encodeName(temp.path() + "/").toStdString(),
                     QFile::encodeName(chosen).toStdString(), {0, 0});
}

}  // namespace

class ExitCleanupTest : public QObject {
    Q_OBJECT

    const QByteArray chosenBytes = "the chosen file";

  private slots:
    void theCopyTargetCarriesBothVersionWordsInLowerCaseHex_data() {
        QTest::addColumn<std::uint32_t>("first");
        QTest::addColumn<std::uint32_t>("second");
        QTest::addColumn<QString>("target");
        QTest::newRow("both zero, as in every run") << 0u << 0u << kCopy;
        QTest::newRow("letters") << 0xABCDEF12u << 0x1Fu << "programmer/$$$winabcdef12-001f.bof";
        QTest::newRow("a wide second word")
            << 7u << 0x12345u << "programmer/$$$win00000007-12345.bof";
    }
    void theCopyTargetCarriesBothVersionWordsInLowerCaseHex() {
        QFETCH(std::uint32_t, first);
        QFETCH(std::uint32_t, second);
        QFETCH(QString, target);
        QCOMPARE(Q(ExitCleanup::CopyTarget({first, second}).string()), target);
    }

    void theScratchFileGoesAndTheCopyLandsOnlyInAnExistingDirectory_data() {
        QTest::addColumn<bool>("withProgrammerDir");
        QTest::newRow("with the programmer directory") << true;
        QTest::newRow("without it") << false;
    }
    void theScratchFileGoesAndTheCopyLandsOnlyInAnExistingDirectory() {
        QFETCH(bool, withProgrammerDir);
        QTemporaryDir temp;
        QTemporaryDir elsewhere;
        Prepare(temp.path(), withProgrammerDir);
        Write(elsewhere.filePath("chosen.bin"), chosenBytes);

        RunCleanup(temp, elsewhere.filePath("chosen.bin"));

        QVERIFY(!QFile::exists(temp.filePath("mydata.bin")));
        QCOMPARE(QFile::exists(temp.filePath("programmer")), withProgrammerDir);  // never made
        QCOMPARE(ReadAll(temp.filePath(kCopy)), withProgrammerDir ? chosenBytes : QByteArray());
    }

    void whatCannotBeCopiedLeavesTheTargetAsItWas_data() {
        QTest::addColumn<QString>("source");  // relative to a directory with chosen.bin
        QTest::addColumn<QByteArray>("earlierCopy");
        QTest::newRow("a copy is there already") << "chosen.bin" << QByteArray("first copy");
        QTest::newRow("no file chosen") << "" << QByteArray();
        QTest::newRow("the file is gone") << "gone.bin" << QByteArray();
        QTest::newRow("a directory") << "." << QByteArray();
    }
    void whatCannotBeCopiedLeavesTheTargetAsItWas() {
        QFETCH(QString, source);
        QFETCH(QByteArray, earlierCopy);
        QTemporaryDir temp;
        QTemporaryDir elsewhere;
        Prepare(temp.path(), true);
        Write(elsewhere.filePath("chosen.bin"), chosenBytes);
        if (!earlierCopy.isEmpty()) {
            Write(temp.filePath(kCopy), earlierCopy);
        }

        RunCleanup(temp, source.isEmpty() ? source : elsewhere.filePath(source));

        QVERIFY(!QFile::exists(temp.filePath("mydata.bin")));
        QCOMPARE(QFile::exists(temp.filePath(kCopy)), !earlierCopy.isEmpty());
        QCOMPARE(ReadAll(temp.filePath(kCopy)), earlierCopy);
    }

    void itRunsOnceHoweverTheDialogIsClosed_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("title bar") << 0;
        QTest::newRow("system menu's Close") << 1;
        QTest::newRow("Exit command") << 2;
    }
    void itRunsOnceHoweverTheDialogIsClosed() {
        QFETCH(int, how);
        const TempFile firmware({1, 2, 3}, "fw.bin");
        DialogHarness h;
        Prepare(h.TempDirectory(), true);
        h.ChooseFile(Q(firmware.Path()));
        const auto close = [&] {
            if (how == 0) {
                h.dialog().close();
            } else if (how == 1) {
                h.dialog().WindowProc(kWmSysCommand, kSysCommandClose, 0);
            } else {
                h.dialog().WindowProc(kWmCommand, ids::kCmdExit, 0);
            }
        };
        close();
        QVERIFY(!h.dialog().isVisible());
        QVERIFY(!QFile::exists(h.TempDirectory() + "/mydata.bin"));
        QCOMPARE(ReadAll(h.TempDirectory() + "/" + kCopy), QByteArray("\1\2\3"));

        // Anything after the first end must not clean up again.
        Prepare(h.TempDirectory(), false);
        QVERIFY(QFile::remove(h.TempDirectory() + "/" + kCopy));
        close();
        h.dialog().done(QDialog::Rejected);
        QVERIFY(QFile::exists(h.TempDirectory() + "/mydata.bin"));
        QVERIFY(!QFile::exists(h.TempDirectory() + "/" + kCopy));
    }

    void theCopyIsOfThePathLastChosen_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("none chosen") << "none";
        QTest::newRow("a selection that failed") << "failed";
        QTest::newRow("an image registered") << "image";
        QTest::newRow("a path typed and taken by Exit") << "typed";
    }
    void theCopyIsOfThePathLastChosen() {
        QFETCH(QString, how);
        const TempFile good({1, 1, 1}, "good.bin");
        const TempFile last({2, 2, 2}, "last.iso");
        DialogHarness h;
        Prepare(h.TempDirectory(), true);
        if (how != "none") {
            h.ChooseFile(Q(good.Path()));
        }
        std::optional<LockHolder> holder;
        if (how == "failed") {
            holder.emplace(last.Path(), LockHolder::Flock);
            QVERIFY(holder->ok);
            h.ChooseFile(Q(last.Path()));
            QCOMPARE(h.firmwarePath.Get(), std::string());  // it did fail
        } else if (how == "image") {
            h.prompts.fileAnswers.push_back(Q(last.Path()));
            h.dialog().WindowProc(kWmCommand, ids::kCmdUpdateTool, 0);
        } else if (how == "typed") {
            h.Control<QLineEdit>(ids::kPathEdit)->setText(Q(last.Path()));
        }
        if (how == "typed") {
            h.dialog().WindowProc(kWmCommand, ids::kCmdExit, 0);  // takes the edits' values
        } else {
            // Closing from the title bar takes nothing from the edits, which still show the
            // earlier file after a failed selection.
            h.dialog().close();
        }
        QVERIFY(!h.dialog().isVisible());
        QVERIFY(!QFile::exists(h.TempDirectory() + "/mydata.bin"));
        QCOMPARE(ReadAll(h.TempDirectory() + "/" + kCopy),
                 how == "none" ? QByteArray() : QByteArray("\2\2\2"));
    }

    void aLaterRunLeavesTheFirstCopyAlone() {
        QTemporaryDir temp;
        Prepare(temp.path(), true);
        for (const std::uint8_t mark : {std::uint8_t{1}, std::uint8_t{2}}) {
            const TempFile firmware({mark}, "fw.bin");
            DialogHarness h({.tempDirectory = temp.path()});
            h.ChooseFile(Q(firmware.Path()));
            h.dialog().close();
        }
        QCOMPARE(ReadAll(temp.filePath(kCopy)), QByteArray("\1"));
    }
};

QTEST_MAIN(ExitCleanupTest)
#include "ExitCleanupTest.moc"
