#pragma once

// kestrix and kestrix-service as separate processes: private folders per user,
// a working folder per run, the output read as it comes. The waits are generous
// and run the event loop, so that no started process blocks on a full pipe.

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

constexpr int kStartMs = 30000;
constexpr int kExitMs = 45000;   // beyond the second start's 30 s wait for an answer

// One user's (@p owner's, or this process's) private folders and environment: headless unless changed.
struct User {
    User(const QString& parent, const QString& name, int owner = -1) : root(parent + '/' + name), owner(owner)
    {
        dir(QString());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_QUICK_BACKEND", "software");
        env.remove("TMPDIR");
        for (const char* place : {"XDG_RUNTIME_DIR=runtime", "XDG_CONFIG_HOME=config", "XDG_CACHE_HOME=cache",
                                  "HOME=home", "KESTRIX_IPC_DIR=ipc"})
            env.insert(QString(place).section('=', 0, 0), dir(QString(place).section('=', 1)));
        // Sanitized builds: the offscreen plugin never frees its screen.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
        env.insert("LSAN_OPTIONS", "suppressions=" KESTRIX_LSAN_SUPPRESSIONS);
    }

    // The private folder @p name (the root when empty), made if missing.
    QString dir(const QString& name) const
    {
        const QString path = name.isEmpty() ? root : root + '/' + name;
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const bool owned = owner < 0 || ::chown(QFile::encodeName(path).constData(), uid_t(owner), gid_t(owner)) == 0;
        return owned ? path : QString();
    }

    const QString root;
    const int owner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// One started process, killed if it still runs at the end.
struct Run {
    Run(const User& user, const QString& work, const QStringList& arguments, const QString& program = KESTRIX_EXECUTABLE)
        : work(work)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(user.env);
        process.setWorkingDirectory(work);
        const QString id = QString::number(user.owner);
        if (user.owner < 0)
            process.start(program, arguments);
        else
            process.start("setpriv", QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups", "--", program} + arguments);
    }
    ~Run()
    {
        if (QTest::currentTestFailed())
            qWarning("%s:\n%s", qPrintable(process.program()), output().right(3000).constData());
        process.kill();
        process.waitForFinished(kExitMs);
    }

    bool running() const { return process.state() != QProcess::NotRunning; }
    bool exits() { return QTest::qWaitFor([this] { return !running(); }, kExitMs) && process.exitStatus() == QProcess::NormalExit; }
    bool waitFor(const QByteArray& fragment, int timeoutMs = kStartMs)
    {
        return QTest::qWaitFor([&] { return output().contains(fragment) || !running(); }, timeoutMs)
            && output().contains(fragment);
    }
    bool up() { return waitFor("Register ") && running(); }   // past registering with the service, or failing to

    const QByteArray& output() { return m_output += process.readAll(); }
    QByteArray log() const   // the log file of -d
    {
        QFile file(work + "/logs/" + QDir(work + "/logs").entryList(QDir::Files).value(0));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    const QString work;
    QProcess process;

private:
    QByteArray m_output;
};
