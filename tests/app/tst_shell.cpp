// The application shell's pieces in this process: log lines and the log
// handler, the instance guard's keys and claim, the native filter, the
// restore channel, the autostart entry and the launcher.

#include "app/instanceguard.h"
#include "app/launcher.h"
#include "app/logging.h"
#include "app/nativeeventfilter.h"
#include "app/restorechannel.h"
#include "app/startup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("Kestrix Command Center");
const QRegularExpression kLinePattern(
    QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} (Debug|Warning|Critical|Fatal|Unknown): "));

// The debug messages written while a MessageCapture exists.
QMutex capturedLock;
QStringList captured;

void captureDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const QMutexLocker lock(&capturedLock);
    if (type == QtDebugMsg)
        captured.append(text);
}

struct MessageCapture {
    MessageCapture() : previous(qInstallMessageHandler(captureDebug)) { captured.clear(); }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    QStringList debugLines() const
    {
        const QMutexLocker lock(&capturedLock);
        return captured;
    }
    const QtMessageHandler previous;
};

// Standard error goes to a file while a StderrToFile exists.
struct StderrToFile {
    explicit StderrToFile(const QString& path) : saved(::dup(2))
    {
        std::fflush(stderr);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
    }
    const int saved;
};

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString execValue(const QString& entry)
{
    for (const QString& line : readLines(entry)) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}

QString expectedCommand()
{
    return QCoreApplication::applicationFilePath() + QStringLiteral(" -a");
}

// Sends from another thread while this one serves the channel.
bool sendFromThread(const QString& name, quint32 number)
{
    auto sent = std::async(std::launch::async, [&] { return restorechannel::sendRestoreMessage(name, number); });
    const bool done = QTest::qWaitFor(
        [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    return done && sent.get();
}

} // namespace

class Shell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void formatLine_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("debug") << int(QtDebugMsg) << "09.05.07.123 Debug: 50% of %1 done";
        QTest::newRow("warning") << int(QtWarningMsg) << "09.05.07.123 Warning: 50% of %1 done";
        QTest::newRow("critical") << int(QtCriticalMsg) << "09.05.07.123 Critical: 50% of %1 done";
        QTest::newRow("fatal") << int(QtFatalMsg) << "09.05.07.123 Fatal: 50% of %1 done";
        QTest::newRow("info") << int(QtInfoMsg) << "09.05.07.123 Unknown: 50% of %1 done";
    }
    void formatLine()
    {
        QFETCH(int, type);
        QFETCH(QString, expected);
        QCOMPARE(logging::formatLine(QtMsgType(type), QTime(9, 5, 7, 123), QStringLiteral("50% of %1 done")), expected);
    }

    void logTimesAreTwoDigitAnd24Hour()
    {
        QCOMPARE(logging::formatLine(QtDebugMsg, QTime(16, 38, 5, 7), QStringLiteral("x")),
                 QStringLiteral("16.38.05.007 Debug: x"));
        QCOMPARE(logging::logFileName(QDateTime(QDate(2024, 3, 1), QTime(9, 5, 59))), QStringLiteral("03-01__09-05.log"));
        QCOMPARE(logging::logFileName(QDateTime(QDate(2023, 12, 4), QTime(16, 38))), QStringLiteral("12-04__16-38.log"));
    }

    // The handler writes every message as one whole line to the dated file
    // and to standard error, also when two threads write at once.
    void handlerWritesWholeLines()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString previousDir = QDir::currentPath();
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(testHandler);
        const QString errPath = work.filePath(QStringLiteral("stderr.txt"));
        const int perThread = 2000;
        QDateTime before;
        QDateTime after;
        {
            QVERIFY(QDir::setCurrent(work.path()));
            StderrToFile err(errPath);
            auto restore = qScopeGuard([&] {
                logging::tearDown();
                qInstallMessageHandler(testHandler);
                QDir::setCurrent(previousDir);
            });
            before = QDateTime::currentDateTime();
            QVERIFY(logging::setUp());
            qDebug("plain debug");
            qWarning("a warning");
            qCritical("a critical one");
            qInfo("some information");
            const QString payload(300, QLatin1Char('x'));
            auto writer = [&](char name) {
                for (int i = 0; i < perThread; ++i)
                    qDebug("worker %c %d %s", name, i, qPrintable(payload));
            };
            std::thread a(writer, 'A');
            std::thread b(writer, 'B');
            a.join();
            b.join();
            logging::tearDown();
            qDebug("after the tear-down");
            after = QDateTime::currentDateTime();
        }

        const QStringList files = QDir(work.filePath(QStringLiteral("logs"))).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first() == before.toString(QStringLiteral("MM-dd__hh-mm")) + QStringLiteral(".log")
                     || files.first() == after.toString(QStringLiteral("MM-dd__hh-mm")) + QStringLiteral(".log"),
                 qPrintable(files.first()));
        const QStringList lines = readLines(work.filePath(QStringLiteral("logs/") + files.first()));
        QCOMPARE(lines.size(), 4 + 2 * perThread);
        const QRegularExpression workerLine(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} Debug: worker [AB] \\d+ x{300}$"));
        int workerLines = 0;
        for (const QString& line : lines) {
            QVERIFY2(kLinePattern.match(line).hasMatch(), qPrintable(line));
            const QTime stamp = QTime::fromString(line.left(12), QStringLiteral("hh.mm.ss.zzz"));
            QVERIFY(stamp.isValid());
            if (before.date() == after.date())
                QVERIFY(stamp >= before.time().addMSecs(-1) && stamp <= after.time());
            if (line.contains(QLatin1String("worker"))) {
                QVERIFY2(workerLine.match(line).hasMatch(), qPrintable(line.left(80)));
                ++workerLines;
            }
        }
        QCOMPARE(workerLines, 2 * perThread);
        QVERIFY(lines.at(0).endsWith(QLatin1String(" Debug: plain debug")));
        QVERIFY(lines.at(1).endsWith(QLatin1String(" Warning: a warning")));
        QVERIFY(lines.at(2).endsWith(QLatin1String(" Critical: a critical one")));
        QVERIFY(lines.at(3).endsWith(QLatin1String(" Unknown: some information")));

        // Standard error has the same lines, and the one written after the
        // file was closed.
        QStringList errLines = readLines(errPath);
        QCOMPARE(errLines.size(), lines.size() + 1);
        QVERIFY(errLines.takeLast().endsWith(QLatin1String(" Debug: after the tear-down")));
        QStringList sortedFile = lines;
        sortedFile.sort();
        errLines.sort();
        QCOMPARE(errLines, sortedFile);
    }

    void deriveKeyIsSha1OfNameAndSuffix()
    {
        QCOMPARE(InstanceGuard::deriveKey(kName, QStringLiteral("_memLockKey")),
                 QStringLiteral("8097bf2b8b62ae91dc641d4b4065fae080bbfcad"));
        QCOMPARE(InstanceGuard::deriveKey(kName, QStringLiteral("_sharedmemKey")),
                 QStringLiteral("21c81ee2609dfa26bc1161ca2f13c6aa1e6a281e"));
        const QString other = QString::fromUtf8("Größe \xe2\x82\xac");
        for (const QString& suffix : {QStringLiteral("_memLockKey"), QStringLiteral("_sharedmemKey")}) {
            for (const QString& name : {kName, other}) {
                const QByteArray digest = QCryptographicHash::hash((name + suffix).toUtf8(), QCryptographicHash::Sha1).toHex();
                QCOMPARE(InstanceGuard::deriveKey(name, suffix), QString::fromLatin1(digest));
            }
        }
        InstanceGuard guard(kName);
        QCOMPARE(guard.lockKey(), InstanceGuard::deriveKey(kName, QStringLiteral("_memLockKey")));
        QCOMPARE(guard.segmentKey(), InstanceGuard::deriveKey(kName, QStringLiteral("_sharedmemKey")));
    }

    // One claim per runtime directory, given up with the guard.
    void guardAdmitsOneInstancePerUser()
    {
        {
            InstanceGuard first(kName);
            QVERIFY(!first.isAnotherInstanceRunning());
            QVERIFY(first.tryStart());
            QVERIFY(!first.isAnotherInstanceRunning());
            InstanceGuard second(kName);
            QVERIFY(second.isAnotherInstanceRunning());
            QVERIFY(!second.tryStart());

            QTemporaryDir otherUser;
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(otherUser.path()));
            auto back = qScopeGuard([this] { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); });
            InstanceGuard theirs(kName);
            QVERIFY(!theirs.isAnotherInstanceRunning());
            QVERIFY(theirs.tryStart());
        }
        InstanceGuard third(kName);
        QVERIFY(third.tryStart());
    }

    void filterHandlesOnlyTheRestoreMessage_data()
    {
        QTest::addColumn<QByteArray>("eventType");
        QTest::addColumn<uint>("number");
        QTest::addColumn<bool>("consumed");
        QTest::newRow("restore") << QByteArray("windows_generic_MSG") << 1026u << true;
        QTest::newRow("next number") << QByteArray("windows_generic_MSG") << 1027u << false;
        QTest::newRow("first private") << QByteArray("windows_generic_MSG") << 1024u << false;
        QTest::newRow("xcb event") << QByteArray("xcb_generic_event_t") << 1026u << false;
        QTest::newRow("dispatcher") << QByteArray("windows_dispatcher_MSG") << 1026u << false;
    }
    void filterHandlesOnlyTheRestoreMessage()
    {
        QFETCH(QByteArray, eventType);
        QFETCH(uint, number);
        QFETCH(bool, consumed);
        NativeEventFilter filter;
        filter.setRestoreMessage(1026);
        QSignalSpy spy(&filter, &NativeEventFilter::restoreWindow);
        MessageCapture capture;
        NativeWindowMessage message;
        message.message = number;
        long result = 77;
        QCOMPARE(filter.nativeEventFilter(eventType, &message, &result), consumed);
        QCOMPARE(result, 77L);
        QCOMPARE(spy.count(), consumed ? 1 : 0);
        QCOMPARE(capture.debugLines(),
                 consumed ? QStringList{QStringLiteral("window restore message  1026")} : QStringList());
    }

    // A second start's message reaches the filter, and the sender returns
    // only after it was handled.
    void restoreChannelRoundTrip()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("restore.sock"));
        NativeEventFilter filter;
        filter.setRestoreMessage(1026);
        RestoreServer server(name);
        connect(&server, &RestoreServer::messageReceived, &filter, &NativeEventFilter::handleMessage);
        QVERIFY(server.isListening());
        QSignalSpy spy(&filter, &NativeEventFilter::restoreWindow);
        MessageCapture capture;

        QVERIFY(sendFromThread(name, 1026));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(capture.debugLines(), QStringList{QStringLiteral("window restore message  1026")});
        QVERIFY(sendFromThread(name, 1027));   // answered, and ignored
        QCOMPARE(spy.count(), 1);
    }

    void restoreChannelWithoutListener()
    {
        QTemporaryDir dir;
        const QString stale = dir.filePath(QStringLiteral("stale.sock"));
        {
            // A socket file whose owner is gone: connections are refused.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray path = QFile::encodeName(stale);
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.constData());
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
        }
        QVERIFY(QFileInfo::exists(stale));
        for (const QString& name : {dir.filePath(QStringLiteral("absent.sock")), stale}) {
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!restorechannel::sendRestoreMessage(name, 1026));
            // Refused at once, not after the wait for an answer.
            QVERIFY2(timer.elapsed() < 10000, qPrintable(name));
        }

        // The next instance takes the leftover's place.
        NativeEventFilter filter;
        filter.setRestoreMessage(1026);
        RestoreServer server(stale);
        connect(&server, &RestoreServer::messageReceived, &filter, &NativeEventFilter::handleMessage);
        QVERIFY(server.isListening());
        QSignalSpy spy(&filter, &NativeEventFilter::restoreWindow);
        QVERIFY(sendFromThread(stale, 1026));
        QCOMPARE(spy.count(), 1);
    }

    void startUpSwitchesTheEntry()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString entry = config.filePath(QStringLiteral("autostart/Kestrix.desktop"));
        StartUp startUp;
        QSignalSpy spy(&startUp, &StartUp::enableChanged);
        QVERIFY(!startUp.enable());
        startUp.setEnable(false);
        QCOMPARE(spy.count(), 0);

        startUp.setEnable(true);
        QVERIFY(startUp.enable());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(execValue(entry), expectedCommand());
        QCOMPARE(readLines(entry).value(0), QStringLiteral("[Desktop Entry]"));
        startUp.setEnable(true);
        QCOMPARE(spy.count(), 1);
        QVERIFY(StartUp().enable());

        startUp.setEnable(false);
        QVERIFY(!startUp.enable());
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QVERIFY(!QFileInfo::exists(entry));
        QVERIFY(!StartUp().enable());
    }

    void startUpReadsOnlyTheExactCommand_data()
    {
        const QString path = QCoreApplication::applicationFilePath();
        QTest::addColumn<QString>("exec");
        QTest::addColumn<bool>("on");
        QTest::newRow("exact") << path + " -a" << true;
        QTest::newRow("without -a") << path << false;
        QTest::newRow("quoted path") << "\"" + path + "\" -a" << false;
        QTest::newRow("other path") << "/opt/kestrix/kestrix -a" << false;
        QTest::newRow("other options") << path + " -a -d" << false;
    }
    void startUpReadsOnlyTheExactCommand()
    {
        QFETCH(QString, exec);
        QFETCH(bool, on);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("autostart")));
        const QString entry = config.filePath(QStringLiteral("autostart/Kestrix.desktop"));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Kestrix Command Center\nExec=" + exec.toUtf8() + "\n");
        file.close();

        StartUp startUp;
        QCOMPARE(startUp.enable(), on);
        QSignalSpy spy(&startUp, &StartUp::enableChanged);
        startUp.setEnable(true);
        QCOMPARE(spy.count(), on ? 0 : 1);
        QCOMPARE(execValue(entry), on ? exec : expectedCommand());
        QVERIFY(StartUp().enable());
    }

    void startUpWithoutConfigHomeUsesHome()
    {
        QTemporaryDir home;
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        auto back = qScopeGuard([&] { qputenv("HOME", savedHome); });
        StartUp startUp;
        startUp.setEnable(true);
        QCOMPARE(execValue(home.filePath(QStringLiteral(".config/autostart/Kestrix.desktop"))), expectedCommand());
    }

    void launcherStartsTheCommandDetached()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("started.txt"));
        const QString command = QStringLiteral("/bin/sh -c \"echo started > %1\"").arg(target);
        MessageCapture capture;
        Launcher launcher;
        QString output = QStringLiteral("not called");
        QVERIFY(QMetaObject::invokeMethod(&launcher, "launch", Q_RETURN_ARG(QString, output), Q_ARG(QString, command)));
        QCOMPARE(output, QString());
        const QStringList lines = capture.debugLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(QLatin1String("Launcher::launch execute command ")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(0).contains(QLatin1String("echo started")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(QLatin1String("Launcher::launch output ")), qPrintable(lines.at(1)));

        // The quoted part reached the shell as one argument.
        QTRY_COMPARE_WITH_TIMEOUT(readLines(target), QStringList{QStringLiteral("started")}, 10000);

        // A program that does not exist is not reported either.
        QCOMPARE(launcher.launch(dir.filePath(QStringLiteral("missing")) + QStringLiteral(" -x")), QString());
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(Shell)
#include "tst_shell.moc"
