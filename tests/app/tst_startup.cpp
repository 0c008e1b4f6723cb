// The kestrix executable as separate processes, headless, without a service:
// start, restore, one instance per user, the translation, a broken scene.

#include "kestrixrun.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include <csignal>

namespace {
const QByteArray kRestoreLine("window restore message  1026");
}

class Startup : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // One instance per runtime folder, that is per user: another user's start
    // is an instance of its own, which only its own second start raises. First,
    // while the IPC namespace holds no root leftovers that nobody cannot remove.
    void oneInstancePerUser_data()
    {
        QTest::addColumn<int>("owner");
        QTest::newRow("another user") << 65534;   // nobody
        QTest::newRow("another runtime folder") << -1;
    }
    void oneInstancePerUser()
    {
        QFETCH(int, owner);
        if (owner >= 0 && (::getuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty()))
            QSKIP("needs root and setpriv to start a process as the user nobody");
        // The users' private folders sit in a folder anyone may pass through.
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        const User first(m_dir->path(), "first");
        const User other(m_dir->path(), "other", owner);
        Run probe(other, other.root, {"-c", "test -x \"$0\"", KESTRIX_EXECUTABLE}, "/bin/sh");
        if (!probe.exits() || probe.process.exitCode() != 0)
            QSKIP("the build tree is not reachable for the user nobody");
        Run firstRun(first, first.dir("work"), {"-d"});
        Run otherRun(other, other.dir("work"), {"-d"});
        QVERIFY(firstRun.up() && otherRun.up());
        Run otherSecond(other, other.dir("second"), {});
        QVERIFY(otherSecond.exits());
        QCOMPARE(otherSecond.process.exitCode(), 0);
        QVERIFY(otherRun.log().contains(kRestoreLine) && !firstRun.log().contains(kRestoreLine));
    }

    // Neither what a killed instance leaves (segment, semaphore, socket) nor a
    // runtime folder renewed by a new login blocks the next start. A second start
    // ends with 0 once that one has handled its message, without a log of its
    // own; the raised one's log lines have the fixed format, on stderr too.
    void killedInstanceDoesNotBlock_data()
    {
        QTest::addColumn<bool>("renewRuntime");
        QTest::newRow("same runtime folder") << false;
        QTest::newRow("runtime folder renewed") << true;
    }
    void killedInstanceDoesNotBlock()
    {
        QFETCH(bool, renewRuntime);
        auto user = std::make_unique<User>(m_dir->path(), "user");
        {
            Run first(*user, user->dir("first"), {});
            QVERIFY(first.up());
        }   // killed (SIGKILL) here
        if (renewRuntime) {
            QVERIFY(QDir(user->root).removeRecursively());
            user = std::make_unique<User>(m_dir->path(), "user");
        }
        Run next(*user, user->dir("next"), {"-d"});
        QVERIFY(next.up());
        Run second(*user, user->dir("second"), {"-d"});
        QVERIFY(second.exits());
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(second.work + "/logs") && !second.output().contains("Register"));
        QCOMPARE(next.log().count(kRestoreLine), 1);
        const QRegularExpression format("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} (Debug|Warning|Critical): ");
        for (const QByteArray& line : next.log().trimmed().split('\n'))
            QVERIFY2(format.match(line).hasMatch() && next.waitFor(line + '\n'), line.constData());
    }

    // Asked to stop (a session that ends, Ctrl+C, a closed terminal), the
    // program tears down as after Quit: exit code 0, and its guard is gone,
    // so a start right after needs no recovery from leftovers.
    void stopsCleanlyOnSignal_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void stopsCleanlyOnSignal()
    {
        QFETCH(int, number);
        const User user(m_dir->path(), "user");
        Run run(user, user.dir("work"), {"-d"});
        QVERIFY(run.up());
        QCOMPARE(::kill(pid_t(run.process.processId()), number), 0);
        QVERIFY(run.exits());
        QCOMPARE(run.process.exitCode(), 0);
        QVERIFY(run.log().contains("Quit on signal " + QByteArray::number(number)));
    }

    // Started elsewhere: German is found beside the executable; French stays English.
    void translationBesideTheExecutable_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("German") << "de_DE.UTF-8" << true;
        QTest::newRow("French") << "fr_FR.UTF-8" << false;
    }
    void translationBesideTheExecutable()
    {
        QFETCH(QString, locale);
        QFETCH(bool, loaded);
        User user(m_dir->path(), "user");
        user.env.insert("LC_ALL", locale);
        user.env.insert("LANG", locale);
        Run run(user, user.dir("elsewhere"), {});
        QVERIFY(run.up());
        QVERIFY(run.output().contains("Locale is  \"" + locale.left(5).toUtf8() + '"'));
        QCOMPARE(run.output().contains("Tranlation loaded"), loaded);
    }

    void brokenSceneExitsWithMinusOne()
    {
        const User user(m_dir->path(), "user");
        Run run(user, user.dir("work"), {}, KESTRIX_BROKENSCENE_EXECUTABLE);
        QVERIFY(run.exits());
        QCOMPARE(run.process.exitCode(), 255);
        // It got as far as the scene: the controller was built.
        QVERIFY(run.output().contains("Register") && run.output().contains("main.qml"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(Startup)
#include "tst_startup.moc"
