#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "AppHarness.h"
#include "app/AppTexts.h"
#include "platform/SessionLock.h"

using namespace tarnwick;
using tarnwick::testing::SetEnv;

namespace {

// The process holding an flock on the file, from the kernel's lock table; 0 for none. Looking
// there, rather than trying the lock, cannot steal it from a copy that is just starting.
qint64 FlockHolder(const QString& path) {
    struct stat st {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (stat(QFile::encodeName(path).constData(), &st) != 0 || !locks.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray inode = ":" + QByteArray::number(static_cast<qulonglong>(st.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // "1: FLOCK ADVISORY WRITE 4711 fe:00:1234 0 EOF"
        if (fields.size() >= 6 && fields[1] == "FLOCK" && fields[5].endsWith(inode)) {
            return fields[4].toLongLong();
        }
    }
    return 0;
}

// The real program with the emulated programmer; killed when the object goes.
std::unique_ptr<QProcess> StartTarnwick(const QString& runtimeDir) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.remove(QStringLiteral("XDG_SESSION_ID"));  // one lock per user, whoever runs this
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(TARNWICK_BINARY), {QStringLiteral("--emulate")});
    return process;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private slots:
    void aSecondStartIsRefusedAndANewOneSucceedsOnceTheFirstEnds() {
        QTemporaryDir runtime;
        const QString lockFile = runtime.path() + "/" + texts::kInstanceLockName;
        const auto first = StartTarnwick(runtime.path());
        QTRY_COMPARE_WITH_TIMEOUT(FlockHolder(lockFile), first->processId(), 30000);

        const auto second = StartTarnwick(runtime.path());
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT(
            (errors += second->readAllStandardError()).contains(QByteArray(texts::kAlreadyRunning)),
            30000);
        // The first goes on undisturbed.
        QVERIFY(FlockHolder(lockFile) == first->processId() && first->state() == QProcess::Running);

        first->kill();  // the hardest way to end: the lock must still go
        QTRY_COMPARE(FlockHolder(lockFile), qint64{0});
        const auto third = StartTarnwick(runtime.path());
        QTRY_COMPARE_WITH_TIMEOUT(FlockHolder(lockFile), third->processId(), 30000);
        // Each goes with its QProcess, killed; the second waits for OK on its notice.
    }

    // The runtime directory serves every log-on session of the user: a copy in another session
    // must not keep this one from starting, and no session id leads out of the directory.
    void eachLogOnSessionOfTheUserHasItsOwnLock() {
        QTemporaryDir runtime;
        const std::string dir = runtime.path().toStdString();
        const std::pair<const char*, std::string> cases[] = {
            {"2", "/name.session-2"},
            {"c7", "/name.session-c7"},
            {"../x/%2F", "/name.session-%2E%2E%2Fx%2F%252F"},
            {nullptr, "/name"},
        };
        std::vector<SessionLock> held;
        for (const auto& [id, path] : cases) {
            const auto session = SetEnv("XDG_SESSION_ID", id);
            held.push_back(SessionLock::Acquire("name", dir));
            QCOMPARE(held.back().state(), SessionLock::State::Held);
            QCOMPARE(held.back().Path(), dir + path);
            QCOMPARE(SessionLock::Acquire("name", dir).state(), SessionLock::State::HeldElsewhere);
        }
    }

    void withoutARuntimeDirectoryAPrivateOneIsUsed() {
        QTemporaryDir tmp;
        const auto runtime = SetEnv("XDG_RUNTIME_DIR", nullptr);
        const auto session = SetEnv("XDG_SESSION_ID", nullptr);
        const auto tmpdir = SetEnv("TMPDIR", QFile::encodeName(tmp.path()).constData());
        const std::string expected =
            tmp.path().toStdString() + "/tarnwick-" + std::to_string(getuid());
        QCOMPARE(SessionLock::DefaultDirectory().value_or(""), expected);
        struct stat st {};
        QVERIFY(stat(expected.c_str(), &st) == 0 && (st.st_mode & 0777) == 0700);
        QCOMPARE(SessionLock::Acquire("name").state(), SessionLock::State::Held);

        // A directory others may write into is no place for the lock.
        chmod(expected.c_str(), 0777);
        QCOMPARE(SessionLock::Acquire("name").state(), SessionLock::State::Unavailable);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
