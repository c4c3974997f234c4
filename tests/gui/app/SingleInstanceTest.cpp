#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "app/AppTexts.h"
#include "app/StartOptions.h"
#include "platform/linux/SessionLock.h"

using namespace tarnwick;

namespace {

// The process holding an flock on the file, from the kernel's lock table; 0 for none. Looking
// there, rather than trying the lock, cannot steal it from a copy that is just starting.
qint64 FlockHolder(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) {
        return 0;
    }
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return -1;
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

// Sets (with nullptr: unsets) an environment variable.
void SetEnv(const char* name, const char* value) {
    if (value != nullptr) {
        qputenv(name, value);
    } else {
        qunsetenv(name);
    }
}

// These environment variables as they were, put back when the object goes.
class SavedEnv {
  public:
    explicit SavedEnv(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : nullptr);
        }
    }
    ~SavedEnv() {
        for (const auto& [name, value] : saved) {
            SetEnv(name, value.isNull() ? nullptr : value.constData());
        }
    }

  private:
    std::vector<std::pair<const char*, QByteArray>> saved;
};

class Tarnwick {
  public:
    explicit Tarnwick(const QString& runtimeDir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.remove(QStringLiteral("XDG_SESSION_ID"));  // one lock per user, whoever runs this
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TARNWICK_BINARY), {QStringLiteral("--emulate")});
    }
    ~Tarnwick() { Kill(); }
    Tarnwick(const Tarnwick&) = delete;
    Tarnwick& operator=(const Tarnwick&) = delete;

    qint64 Pid() const { return process.processId(); }
    QString Errors() {
        errors += process.readAllStandardError();
        return QString::fromUtf8(errors);
    }
    void Kill() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    bool Running() const { return process.state() == QProcess::Running; }

  private:
    QProcess process;
    QByteArray errors;
};

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    const QString alreadyRunning = QString::fromUtf8(texts::kAlreadyRunning);

  private slots:
    void withoutARuntimeDirectoryAPrivateOneIsUsed() {
        QTemporaryDir tmp;
        const SavedEnv saved{"XDG_RUNTIME_DIR", "XDG_SESSION_ID", "TMPDIR"};
        SetEnv("XDG_RUNTIME_DIR", nullptr);
        SetEnv("XDG_SESSION_ID", nullptr);
        SetEnv("TMPDIR", QFile::encodeName(tmp.path()).constData());
        const std::string expected =
            tmp.path().toStdString() + "/tarnwick-" + std::to_string(getuid());

        QCOMPARE(SessionLock::DefaultDirectory(), expected);
        struct stat st {};
        QCOMPARE(stat(expected.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QCOMPARE(SessionLock::Acquire("name").state(), SessionLock::State::Held);

        // A directory others may write into is no place for the lock.
        chmod(expected.c_str(), 0777);
        std::string error;
        QCOMPARE(SessionLock::DefaultDirectory(&error), std::string());
        QVERIFY(!error.empty());
        QCOMPARE(SessionLock::Acquire("name").state(), SessionLock::State::Unavailable);
    }

    // The runtime directory serves every log-on session of the user: a copy in another session
    // must not keep this one from starting.
    void eachLogOnSessionOfTheUserHasItsOwnLock() {
        QTemporaryDir runtime;
        const std::string dir = runtime.path().toStdString();
        const SavedEnv saved{"XDG_SESSION_ID"};
        SetEnv("XDG_SESSION_ID", "2");
        const SessionLock first = SessionLock::Acquire("name", dir);
        SetEnv("XDG_SESSION_ID", "c7");
        const SessionLock other = SessionLock::Acquire("name", dir);
        QCOMPARE(first.state(), SessionLock::State::Held);
        QCOMPARE(other.state(), SessionLock::State::Held);
        QCOMPARE(first.Path(), dir + "/name.session-2");
        QCOMPARE(SessionLock::Acquire("name", dir).state(), SessionLock::State::HeldElsewhere);

        // An id can neither lead out of the directory nor pass for another.
        SetEnv("XDG_SESSION_ID", "../x/%2F");
        const SessionLock odd = SessionLock::Acquire("name", dir);
        QCOMPARE(odd.state(), SessionLock::State::Held);
        QCOMPARE(odd.Path(), dir + "/name.session-%2E%2E%2Fx%2F%252F");

        // Without one the lock is the user's.
        SetEnv("XDG_SESSION_ID", nullptr);
        const SessionLock perUser = SessionLock::Acquire("name", dir);
        QCOMPARE(perUser.state(), SessionLock::State::Held);
        QCOMPARE(perUser.Path(), dir + "/name");
        QCOMPARE(SessionLock::Acquire("name", dir).state(), SessionLock::State::HeldElsewhere);
    }

    void aSecondStartIsRefusedAndANewOneSucceedsOnceTheFirstEnds() {
        QTemporaryDir runtime;
        const QString lockFile = runtime.path() + "/" + texts::kInstanceLockName;

        Tarnwick first(runtime.path());
        QTRY_COMPARE_WITH_TIMEOUT(FlockHolder(lockFile), first.Pid(), 30000);

        Tarnwick second(runtime.path());
        QTRY_VERIFY_WITH_TIMEOUT(second.Errors().contains(alreadyRunning), 30000);
        QCOMPARE(FlockHolder(lockFile), first.Pid());  // the first goes on undisturbed
        QVERIFY(first.Running());
        second.Kill();  // it waits for OK on its notice; nobody is there to press it

        first.Kill();  // the hardest way to end: the lock must still go
        QTRY_COMPARE(FlockHolder(lockFile), qint64{0});

        Tarnwick third(runtime.path());
        QTRY_COMPARE_WITH_TIMEOUT(FlockHolder(lockFile), third.Pid(), 30000);
        QVERIFY(!third.Errors().contains(alreadyRunning));
    }

    void theCommandLineTakesOnlyEmulate_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("emulate");
        QTest::addColumn<QString>("flashFile");
        QTest::newRow("nothing") << QStringList{} << true << false << "";
        QTest::newRow("--emulate") << QStringList{"--emulate"} << true << true << "";
        QTest::newRow("--emulate=FILE")
            << QStringList{"--emulate=/tmp/f lash.img"} << true << true << "/tmp/f lash.img";
        QTest::newRow("--emulate= without a name")
            << QStringList{"--emulate="} << false << true << "";
        QTest::newRow("twice") << QStringList{"--emulate", "--emulate"} << false << true << "";
        QTest::newRow("another option") << QStringList{"--verbose"} << false << false << "";
        QTest::newRow("a file name") << QStringList{"fw.bin"} << false << false << "";
        QTest::newRow("--emulate FILE") << QStringList{"--emulate", "f.img"} << false << true << "";
    }
    void theCommandLineTakesOnlyEmulate() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(bool, emulate);
        QFETCH(QString, flashFile);
        const StartOptions options = StartOptions::Parse(QStringList{"tarnwick"} + arguments);
        QCOMPARE(options.error.isEmpty(), valid);
        if (valid) {
            QCOMPARE(options.emulate, emulate);
            QCOMPARE(options.flashFile, flashFile);
        }
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
