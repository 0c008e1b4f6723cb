// The kestrix executable as separate processes: the log file, exit codes,
// a second start raising the first, a killed instance, and several users.
// Every process runs headless in its own working directory, with a runtime,
// config and home directory of its user's and an empty service directory.

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#if !defined(KESTRIX_EXECUTABLE) || !defined(KESTRIX_BROKENSCENE_EXECUTABLE) || !defined(KESTRIX_LSAN_SUPPRESSIONS)
#error "the build names kestrix, kestrix built with a broken scene, and the leak suppressions"
#endif

namespace {

constexpr int kStartMs = 30000;   // start-up to the service registration
constexpr int kExitMs = 45000;   // beyond the second start's 30 s wait for an answer
constexpr uint kNobody = 65534;
const QByteArray kReady("Register failed");   // reached without a service
const QByteArray kRestoreLine("window restore message  1026");
const QRegularExpression kLinePattern(
    QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} (Debug|Warning|Critical|Fatal|Unknown): "));

QString minuteFileName(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM-dd__hh-mm")) + QStringLiteral(".log");
}

// A folder in @p parent, private to @p owner (this process's user when -1).
QString makePrivateDir(const QString& parent, const QString& name, int owner = -1)
{
    const QString path = parent + QLatin1Char('/') + name;
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (owner >= 0 && ::chown(QFile::encodeName(path).constData(), uid_t(owner), gid_t(owner)) != 0)
        return QString();
    return path;
}

void appendOption(QProcessEnvironment& env, const QString& name, const QString& option)
{
    const QString current = env.value(name);
    env.insert(name, current.isEmpty() ? option : current + QLatin1Char(':') + option);
}

// One user's places.
struct User {
    User(const QString& parent, const QString& name, int owner = -1)
        : root(makePrivateDir(parent, name, owner))
        , runtime(makePrivateDir(root, QStringLiteral("runtime"), owner))
        , config(makePrivateDir(root, QStringLiteral("config"), owner))
        , home(makePrivateDir(root, QStringLiteral("home"), owner))
        , ipc(makePrivateDir(root, QStringLiteral("ipc"), owner))
        , owner(owner)
    {
    }

    // A new working directory of this user's.
    QString workDir(const QString& name) const { return makePrivateDir(root, name, owner); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("KESTRIX_IPC_DIR"), ipc);
        env.remove(QStringLiteral("TMPDIR"));
        if (!locale.isEmpty()) {
            env.insert(QStringLiteral("LC_ALL"), locale);
            env.insert(QStringLiteral("LANG"), locale);
        }
        // For sanitized builds: the full unwinder lets the suppressions see
        // the offscreen plugin's own allocations.
        appendOption(env, QStringLiteral("ASAN_OPTIONS"), QStringLiteral("fast_unwind_on_malloc=0"));
        appendOption(env, QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" KESTRIX_LSAN_SUPPRESSIONS));
        return env;
    }

    QString root, runtime, config, home, ipc;
    int owner;
    QString locale;   // the environment's own when empty
};

// One started process, killed if it is still running at the end.
struct Run {
    Run(const User& user, const QString& workDir, const QStringList& arguments,
        const QString& program = QStringLiteral(KESTRIX_EXECUTABLE))
        : workDir(workDir)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(user.environment());
        process.setWorkingDirectory(workDir);
        const QString id = QString::number(user.owner);
        if (user.owner >= 0)
            process.start(QStringLiteral("setpriv"), QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups",
                                                                  "--", program} + arguments);
        else
            process.start(program, arguments);
    }
    ~Run() { kill(); }

    bool running() const { return process.state() == QProcess::Running; }
    bool waitForExit() { return process.waitForFinished(kExitMs); }
    void kill()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kExitMs);
        }
    }

    // Up: past the service registration (which fails: there is no service)
    // and still running.
    bool waitUntilUp()
    {
        const QDeadlineTimer deadline(kStartMs);
        process.waitForStarted(kStartMs);
        while (!output().contains(kReady) && running() && !deadline.hasExpired())
            process.waitForReadyRead(50);
        return output().contains(kReady) && running();
    }

    // What a failed wait shows.
    QByteArray report()
    {
        return output() + "\n[" + (running() ? "running" : "exit code " + QByteArray::number(process.exitCode())) + "]";
    }

    const QByteArray& output()
    {
        m_output += process.readAll();
        return m_output;
    }

    QStringList logFiles() const { return QDir(workDir + QStringLiteral("/logs")).entryList(QDir::Files | QDir::Hidden); }
    bool hasLogFolder() const { return QFileInfo::exists(workDir + QStringLiteral("/logs")); }
    QByteArray log() const
    {
        const QStringList files = logFiles();
        QFile file(workDir + QStringLiteral("/logs/") + files.value(0));
        return files.size() == 1 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    const QString workDir;
    QProcess process;

private:
    QByteArray m_output;
};

// A killed instance leaves its System V segment and semaphore behind, keyed
// by files in its runtime directory. Once those files are gone nothing finds
// them again: the tests note the keys while the files exist and remove what
// is left at the end.
QVector<key_t> systemVKeys(const QString& root)
{
    QVector<key_t> keys;
    QDirIterator files(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const key_t key = ::ftok(QFile::encodeName(path).constData(), 'Q');
        if (files.fileInfo().dir().dirName() == QLatin1String("runtime") && key != -1)
            keys.append(key);
    }
    return keys;
}

void removeLeftovers(const QVector<key_t>& keys)
{
    for (const key_t key : keys) {
        shmid_ds status{};
        const int segment = ::shmget(key, 0, 0);
        if (segment >= 0 && ::shmctl(segment, IPC_STAT, &status) == 0 && status.shm_nattch == 0)
            ::shmctl(segment, IPC_RMID, nullptr);
        const int semaphore = ::semget(key, 0, 0);
        if (semaphore >= 0)
            ::semctl(semaphore, 0, IPC_RMID);
    }
}

} // namespace

class Startup : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        removeLeftovers(m_leftovers + systemVKeys(m_dir->path()));
        m_leftovers.clear();
        m_dir.reset();
    }

    void withoutOptionsNoLogFolder()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        Run run(user, user.workDir(QStringLiteral("work")), {});
        QVERIFY2(run.waitUntilUp(), run.report().constData());
        run.kill();
        QVERIFY(!run.hasLogFolder());
    }

    void debugOptionWritesTheMinutesFile()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        const QDateTime before = QDateTime::currentDateTime();
        Run run(user, user.workDir(QStringLiteral("work")), {QStringLiteral("-d")});
        QVERIFY2(run.waitUntilUp(), run.report().constData());
        const QDateTime after = QDateTime::currentDateTime();
        run.kill();

        const QStringList files = run.logFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first() == minuteFileName(before) || files.first() == minuteFileName(after),
                 qPrintable(files.first()));
        const QByteArray log = run.log();
        QVERIFY(log.contains(kReady));
        QVERIFY(!log.contains('\r'));
        // The locale line comes before the log file exists.
        QVERIFY(!log.contains("Locale is"));
        const QList<QByteArray> lines = log.trimmed().split('\n');
        for (const QByteArray& line : lines) {
            QVERIFY2(kLinePattern.match(QString::fromLocal8Bit(line)).hasMatch(), line.constData());
            QVERIFY2(run.output().contains(line + '\n'), line.constData());
        }
    }

    void startsInOneMinuteAppend()
    {
        // Both starts must fall in one minute.
        const QDeadlineTimer minuteStart(20000);
        while (QTime::currentTime().second() > 50 && !minuteStart.hasExpired())
            QTest::qWait(200);
        const User first(m_dir->path(), QStringLiteral("first"));
        const User second(m_dir->path(), QStringLiteral("second"));
        const QString work = makePrivateDir(m_dir->path(), QStringLiteral("work"));
        QByteArray firstLog;
        {
            Run run(first, work, {QStringLiteral("-d")});
            QVERIFY2(run.waitUntilUp(), run.report().constData());
            run.kill();
            firstLog = run.log();
        }
        Run run(second, work, {QStringLiteral("-d")});
        QVERIFY2(run.waitUntilUp(), run.report().constData());
        run.kill();
        QCOMPARE(run.logFiles().size(), 1);
        const QByteArray log = run.log();
        QVERIFY(firstLog.contains(kReady));
        QVERIFY(log.startsWith(firstLog));
        QVERIFY(log.mid(firstLog.size()).contains(kReady));
    }

    // Started from a folder without translations, the program finds the
    // German one beside its executable; for a language without one it
    // stays in English.
    void translationBesideTheExecutable_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("German") << QStringLiteral("de_DE.UTF-8") << true;
        QTest::newRow("French") << QStringLiteral("fr_FR.UTF-8") << false;
    }

    void translationBesideTheExecutable()
    {
        QFETCH(QString, locale);
        QFETCH(bool, loaded);
        User user(m_dir->path(), QStringLiteral("user"));
        user.locale = locale;
        Run run(user, user.workDir(QStringLiteral("elsewhere")), {});
        QVERIFY2(run.waitUntilUp(), run.report().constData());
        run.kill();
        QVERIFY2(run.output().contains("Locale is  \"" + locale.left(5).toUtf8() + '"'), run.output().constData());
        QCOMPARE(run.output().contains("Tranlation loaded"), loaded);
    }

    void brokenSceneExitsWithMinusOne()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        Run run(user, user.workDir(QStringLiteral("work")), {}, QStringLiteral(KESTRIX_BROKENSCENE_EXECUTABLE));
        QVERIFY(run.process.waitForFinished(kStartMs));
        QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process.exitCode(), 255);
        // It got as far as the scene: the controller was built.
        QVERIFY2(run.output().contains(kReady) && run.output().contains("main.qml"), run.output().constData());
    }

    void unknownOptionFails()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        Run run(user, user.workDir(QStringLiteral("work")), {QStringLiteral("-x")});
        QVERIFY(run.process.waitForFinished(kStartMs));
        QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
        QVERIFY(run.process.exitCode() != 0);
        QVERIFY2(run.output().contains("Unknown option 'x'"), run.output().constData());
    }

    void secondStartRaisesTheFirst()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        Run first(user, user.workDir(QStringLiteral("first")), {QStringLiteral("-d")});
        QVERIFY2(first.waitUntilUp(), first.report().constData());
        QVERIFY(!first.log().contains(kRestoreLine));

        Run second(user, user.workDir(QStringLiteral("second")), {QStringLiteral("-d")});
        QVERIFY(second.waitForExit());
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(!second.hasLogFolder());
        QVERIFY2(!second.output().contains("Register"), second.output().constData());
        // The second start waited until the first had handled the message.
        QVERIFY2(first.log().contains(kRestoreLine), first.log().constData());
        QCOMPARE(first.log().count(kRestoreLine), 1);
        QVERIFY(first.running());
    }

    void killedInstanceDoesNotBlock()
    {
        const User user(m_dir->path(), QStringLiteral("user"));
        {
            Run first(user, user.workDir(QStringLiteral("first")), {QStringLiteral("-d")});
            QVERIFY2(first.waitUntilUp(), first.report().constData());
            first.kill();
            QCOMPARE(first.process.exitStatus(), QProcess::CrashExit);
        }
        Run next(user, user.workDir(QStringLiteral("next")), {QStringLiteral("-d")});
        QVERIFY2(next.waitUntilUp(), next.report().constData());
        Run third(user, user.workDir(QStringLiteral("third")), {});
        QVERIFY(third.waitForExit());
        QCOMPARE(third.process.exitCode(), 0);
        QVERIFY2(next.log().contains(kRestoreLine), next.log().constData());
        QVERIFY(next.running());
    }

    // A new login brings a new runtime folder; what the killed instance left
    // in the system must not refuse the next start.
    void killedInstanceWithRuntimeFolderRenewed()
    {
        {
            const User user(m_dir->path(), QStringLiteral("user"));
            Run first(user, user.workDir(QStringLiteral("first")), {});
            QVERIFY2(first.waitUntilUp(), first.report().constData());
            first.kill();
            m_leftovers += systemVKeys(user.root);
            QVERIFY(QDir(user.root).removeRecursively());
        }
        const User user(m_dir->path(), QStringLiteral("user"));
        Run next(user, user.workDir(QStringLiteral("next")), {});
        QVERIFY2(next.waitUntilUp(), next.report().constData());
    }

    void everyUserHasAnInstance()
    {
        if (::getuid() != 0)
            QSKIP("needs root to start a process as the user nobody");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv (util-linux) is not installed");
        // The users' private folders sit in a folder nobody may pass through.
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        const User root(m_dir->path(), QStringLiteral("root"));
        const User nobody(m_dir->path(), QStringLiteral("nobody"), int(kNobody));
        if (nobody.ipc.isEmpty())
            QSKIP("folders cannot be handed to the user nobody");
        {
            Run probe(nobody, nobody.root, {"-c", "test -x \"$0\"", KESTRIX_EXECUTABLE}, QStringLiteral("/bin/sh"));
            QVERIFY(probe.waitForExit());
            if (probe.process.exitCode() != 0)
                QSKIP("the build tree is not reachable for the user nobody");
        }

        Run rootFirst(root, root.workDir(QStringLiteral("work")), {QStringLiteral("-d")});
        QVERIFY2(rootFirst.waitUntilUp(), rootFirst.report().constData());
        Run nobodyFirst(nobody, nobody.workDir(QStringLiteral("work")), {QStringLiteral("-d")});
        QVERIFY2(nobodyFirst.waitUntilUp(), nobodyFirst.report().constData());

        Run nobodySecond(nobody, nobody.workDir(QStringLiteral("second")), {QStringLiteral("-d")});
        QVERIFY(nobodySecond.waitForExit());
        QCOMPARE(nobodySecond.process.exitCode(), 0);
        QVERIFY2(nobodyFirst.log().contains(kRestoreLine), nobodyFirst.log().constData());
        QVERIFY(!rootFirst.log().contains("window restore message"));
        QVERIFY(rootFirst.running() && nobodyFirst.running());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QVector<key_t> m_leftovers;
};

QTEST_GUILESS_MAIN(Startup)
#include "tst_startup.moc"
