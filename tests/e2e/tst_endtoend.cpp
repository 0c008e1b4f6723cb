// The program as a user's desktop runs it: kestrix-service and kestrix -d -a
// in their own object directory and working directory, under a real X
// display. Everything is checked from outside: through the service's tables
// and printed take-overs, and through the program's log file.

#include "linktestsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

#ifndef KESTRIX_SERVICE
#error "KESTRIX_SERVICE must name the kestrix-service executable"
#endif
#ifndef KESTRIX_PROGRAM
#error "KESTRIX_PROGRAM must name the kestrix executable"
#endif

using namespace linktest;

namespace {

constexpr int kWaitMs = 20000;
// What the scene graph's render loop logs for every frame it renders.
const QString kFrameLine = QStringLiteral("Frame rendered");

// A user's private folders: runtime, configuration, cache, home, work.
struct Desktop {
    Desktop()
    {
        for (const char* name : {"runtime", "config", "cache", "home", "work"})
            QDir(root.path()).mkpath(QString::fromLatin1(name));
        QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KESTRIX_IPC_DIR"), QString::fromStdString(objects.path()));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("runtime"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
        environment.insert(QStringLiteral("HOME"), path("home"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));   // the real display
    }

    QString path(const char* name) const { return root.path() + QLatin1Char('/') + QLatin1String(name); }

    // The program's log file, once there is exactly one.
    QString log() const
    {
        const QDir logs(path("work") + QStringLiteral("/logs"));
        const QStringList files = logs.entryList(QDir::Files);
        if (files.size() != 1)
            return QString();
        QFile file(logs.absoluteFilePath(files.first()));
        file.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(file.readAll());
    }

    bool logHas(const QString& fragment, int timeoutMs = kWaitMs) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            if (log().contains(fragment))
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    QTemporaryDir root;
    ObjectDir objects;
    QProcessEnvironment environment;
};

// The time stamp of the first log line that contains @p fragment.
QTime timeOfLine(const QString& log, const QString& fragment)
{
    for (const QString& line : log.split(QLatin1Char('\n'))) {
        if (line.contains(fragment))
            return QTime::fromString(line.left(12), QStringLiteral("hh.mm.ss.zzz"));
    }
    return QTime();
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void theProgramBesideTheService()
    {
        Desktop desktop;
        PeerProcess service(QStringLiteral(KESTRIX_SERVICE), desktop.objects,
                            {QStringLiteral("--demo"), QStringLiteral("--fake-adapter"),
                             QStringLiteral("--inactive"),   // -a must switch it on
                             QStringLiteral("--heartbeat-ms"), QStringLiteral("50"),
                             QStringLiteral("--tick-ms"), QStringLiteral("250"),
                             QStringLiteral("--offer-update"), QStringLiteral("3"),
                             QStringLiteral("--download-seconds"), QStringLiteral("1"),
                             QStringLiteral("--stall-heartbeat-after"), QStringLiteral("14")},
                            desktop.environment);
        QVERIFY(service.waitForLineStartingWith(QStringLiteral("kestrix-service: serving"), kWaitMs));

        // Started at logon: hidden, with a log file. The scene graph logs
        // every frame it renders, so the log shows whether the window was
        // ever on the screen.
        QProcess program;
        program.setWorkingDirectory(desktop.path("work"));
        QProcessEnvironment programEnvironment = desktop.environment;
        programEnvironment.insert(QStringLiteral("QT_LOGGING_RULES"),
                                  QStringLiteral("qt.scenegraph.time.renderloop.debug=true"));
        program.setProcessEnvironment(programEnvironment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KESTRIX_PROGRAM), {QStringLiteral("-d"), QStringLiteral("-a")});
        QVERIFY(program.waitForStarted(kWaitMs));

        // It registers, switches stream control on and tells the stored update
        // choice (checks allowed by default).
        QVERIFY(desktop.logHas(QStringLiteral("Register success")));
        QVERIFY(service.waitForLine(QStringLiteral("took parameter 0 (requested active state) value 1"), kWaitMs));
        QVERIFY(service.lines().contains(QStringLiteral("took parameter 10 (update state) value 0")));
        QVERIFY(desktop.logHas(QStringLiteral("controlCenterActiveStateChanged requested 1  actual  1  heartbeat  true")));

        // The update: offered, accepted (as the window's "Download and install"
        // would: a client writes ACCEPTED), downloaded; the program starts the
        // installer once and disables updates.
        QVERIFY(service.waitForLine(QStringLiteral("update: offering version 1.0.55.0"), kWaitMs));
        QVERIFY(desktop.logHas(QStringLiteral("Update state  1")));
        {
            Client user;
            user.setObjectDirectory(desktop.objects.path());
            QCOMPARE(user.vlcommRegister(nullptr), 0);
            QCOMPARE(user.controlCenterSetParameter(10, 2), 0);
        }
        QVERIFY(service.waitForLine(QStringLiteral("update: downloaded"), kWaitMs));
        QVERIFY(service.waitForLine(QStringLiteral("took parameter 10 (update state) value 5"), kWaitMs));
        QVERIFY(desktop.logHas(QStringLiteral("Launcher::launch execute command")));
        const QString installedLog = desktop.path("cache") + QStringLiteral("/kestrix-service/update/installed.log");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(installedLog), kWaitMs);
        QTest::qWait(1000);   // a second start of the installer would show by now
        QFile installed(installedLog);
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll().count('\n'), 1);
        QCOMPARE(desktop.log().count(QStringLiteral("Launcher::launch execute command")), 1);

        // The heartbeat stops 14 s after the service started: about 2 s later
        // (ten polls of 200 ms) the program reports the service gone.
        QVERIFY(desktop.logHas(QStringLiteral("heartbeat  false"), 30000));
        const QString log = desktop.log();
        const QTime lastBeat = timeOfLine(log, QStringLiteral("heartbeat  false"));
        QVERIFY(lastBeat.isValid());

        // Hidden all along: not one frame drawn, not even for a moment
        // before the start-up hid the window.
        QVERIFY2(!desktop.log().contains(kFrameLine), "the window hidden at logon was drawn");

        // A second start raises the first and ends with 0.
        QProcess second;
        second.setWorkingDirectory(desktop.path("home"));
        second.setProcessEnvironment(desktop.environment);
        second.start(QStringLiteral(KESTRIX_PROGRAM), {QStringLiteral("-d")});
        QVERIFY(second.waitForFinished(kWaitMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(desktop.logHas(QStringLiteral("window restore message  1026")));
        QVERIFY(!QDir(desktop.path("home") + QStringLiteral("/logs")).exists());
        QVERIFY2(desktop.logHas(kFrameLine), "the raised window was not drawn");

        program.terminate();
        QVERIFY(program.waitForFinished(kWaitMs));
    }

    void theServiceIsShownAsGoneAboutTwoSecondsAfterItsHeartbeatStops()
    {
        Desktop desktop;
        PeerProcess service(QStringLiteral(KESTRIX_SERVICE), desktop.objects,
                            {QStringLiteral("--demo"), QStringLiteral("--fake-adapter"),
                             QStringLiteral("--heartbeat-ms"), QStringLiteral("50"),
                             QStringLiteral("--stall-heartbeat-after"), QStringLiteral("4")},
                            desktop.environment);
        QVERIFY(service.waitForLineStartingWith(QStringLiteral("kestrix-service: serving"), kWaitMs));
        QElapsedTimer sinceService;
        sinceService.start();

        QProcess program;
        program.setWorkingDirectory(desktop.path("work"));
        program.setProcessEnvironment(desktop.environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KESTRIX_PROGRAM), {QStringLiteral("-d")});
        QVERIFY(program.waitForStarted(kWaitMs));
        QVERIFY(desktop.logHas(QStringLiteral("heartbeat  true")));
        QVERIFY(desktop.logHas(QStringLiteral("heartbeat  false"), 20000));
        // The stall began 4 s after the service; the loss is reported about
        // 2 s later (ten polls of 200 ms without a change).
        const qint64 reported = sinceService.elapsed();
        QVERIFY2(reported >= 5000 && reported < 12000, qPrintable(QString::number(reported)));
        program.terminate();
        QVERIFY(program.waitForFinished(kWaitMs));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
