// kestrix-service as the command center meets it: the real executable in a
// private object directory, a Client in this process polling it.

#include "linktestsupport.h"

#include <QtTest>

#include <set>

#ifndef KESTRIX_SERVICE
#error "KESTRIX_SERVICE must name the kestrix-service executable"
#endif

using namespace servicelink;
using namespace linktest;

namespace {

constexpr int kStartMs = 10000;
// The bound of a wait for something the service does within a second or so:
// generous, since the machines running this are shared.
constexpr int kSoonMs = 15000;

// A service in its own object directory with a client beside it.
struct Fixture {
    Fixture()
    {
        client.setObjectDirectory(dir.path());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
    }

    std::unique_ptr<PeerProcess> startService(QStringList arguments)
    {
        if (!arguments.contains(QStringLiteral("--tick-ms")))
            arguments << QStringLiteral("--tick-ms") << QStringLiteral("100");
        arguments << QStringLiteral("--fake-adapter") << QStringLiteral("--heartbeat-ms") << QStringLiteral("20");
        auto service = std::make_unique<PeerProcess>(QStringLiteral(KESTRIX_SERVICE), dir, arguments, environment);
        if (!service->waitForLineStartingWith(QStringLiteral("kestrix-service: serving"), kStartMs))
            return nullptr;
        return pollUntil([&] { return client.vlcommRegister(&mirror) == 0 && client.poll() == 0; }, kStartMs, 20) ? std::move(service) : nullptr;
    }

    // Polls at the command center's pace until @p done or @p timeoutMs.
    bool pollUntil(const std::function<bool()>& done, int timeoutMs, int intervalMs = 50)
    {
        QElapsedTimer timer;
        timer.start();
        for (; timer.elapsed() < timeoutMs; QTest::qWait(intervalMs)) {
            if (client.poll(), done())
                return true;
        }
        return false;
    }

    std::uint32_t parameter(std::uint32_t id)
    {
        std::uint32_t value = 0xFFFFFFFFu;
        return client.controlCenterGetParameter(id, value), value;
    }
    QString string(std::uint32_t id)
    {
        std::u16string text;
        return client.getString(id, text), QString::fromStdU16String(text);
    }

    std::vector<AppInfo> applications()
    {
        std::vector<std::uint32_t> ids;
        client.listApplicationIds(ids);
        std::vector<AppInfo> apps(ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i)
            client.getApplication(ids[i], apps[i]);
        return apps;
    }

    QStringList beats() { return mirror.events.filter(QRegularExpression("^active ")); }   // the last: alive or not
    bool alive() { return !beats().isEmpty() && beats().last().endsWith(" 1"); }
    int filesInDirectory() { return QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::System).size(); }

    ObjectDir dir;
    QTemporaryDir cache;
    QProcessEnvironment environment;
    RecordingCallback mirror;
    Client client;
};

} // namespace

class TestServiceRun : public QObject {
    Q_OBJECT

private slots:
    // Believable demo data, a heartbeat never reported gone, the user's
    // priority and pin kept while the speeds stay the service's, a clean stop.
    void aClientRegistersAndItsDecisionsAreTakenOver()
    {
        Fixture f;
        auto service = f.startService({});
        QVERIFY(service);
        int system = 0;
        AppInfo steam{};
        QCOMPARE(f.applications().size(), std::size_t(24));
        for (const AppInfo& app : f.applications()) {
            system += app.processClass != 0 ? 1 : 0;
            steam = textFromField(app.name) == u"steam.exe" ? app : steam;
            QVERIFY(QFile::exists(QString::fromStdU16String(textFromField(app.iconPath))));
        }
        QCOMPARE(system, 4);
        QVERIFY(f.pollUntil([&] { return f.alive(); }, kSoonMs));
        f.pollUntil([] { return false; }, 1000, 20);   // a second of fast polls: never reported gone
        QCOMPARE(f.beats().filter(QRegularExpression(" 0$")).size(), 0);

        const std::uint32_t newPriority = steam.priority = steam.priority == 1 ? 4 : 1;
        steam.isPinned = 1;
        QCOMPARE(f.client.controlCenterModifyApplication(steam), 0);
        QVERIFY(service->waitForLine(
            QStringLiteral("took application %1 (steam.exe) priority %2 pinned 1").arg(steam.id).arg(newPriority), kSoonMs));
        std::set<std::uint32_t> speeds;
        QVERIFY(f.pollUntil([&] {
            AppInfo now{};
            const bool kept = f.client.getApplication(steam.id, now) == 0 && now.priority == newPriority && now.isPinned;
            return (kept && speeds.insert(now.downloadSpeed).second), speeds.size() >= 3; }, kSoonMs));
        QVERIFY(service->terminate() && service->endedCleanly());
        QVERIFY(service->lines().contains(QStringLiteral("kestrix-service: stopped")));
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kAppRegionName))));   // kept for the next
    }

    void theUpdateFlow_data()
    {
        QTest::addColumn<bool>("fail");
        QTest::newRow("accepted, downloaded") << false;
        QTest::newRow("download fails at 60 %") << true;
    }

    void theUpdateFlow()
    {
        QFETCH(bool, fail);
        const std::uint32_t finalState = fail ? kUpdateNewVersionDownloadFailed : kUpdateNewVersionDownloaded;
        Fixture f;
        auto service = f.startService(QStringList{"--offer-update", "0.4", "--download-seconds", "0.6"} << (fail ? "--fail-update" : "--demo"));
        QVERIFY(service);
        const auto offered = [&] { return f.pollUntil([&] { return f.parameter(kParameterUpdateState) == kUpdateNewVersionDetected; }, kSoonMs); };
        QVERIFY(offered());   // a command center started late allows checks only now: the offer stays (it was lost)
        QCOMPARE(f.client.controlCenterSetParameter(kParameterUpdateState, kUpdateNoNewVersion), 0);
        QVERIFY(offered());
        QCOMPARE(f.client.controlCenterSetParameter(kParameterUpdateState, kUpdateNewVersionAccepted), 0);
        QVERIFY(f.pollUntil([&] { return f.parameter(kParameterUpdateState) == finalState; }, kSoonMs));
        if (fail) {
            QVERIFY(f.parameter(kParameterUpdateProgress) < f.parameter(kParameterUpdateTotal));
            QVERIFY(f.string(kStringUpdateCommandHead).isEmpty());
            return;
        }
        QCOMPARE(f.parameter(kParameterUpdateProgress), f.parameter(kParameterUpdateTotal));
        // The command came before the state, split over strings 7 and 8; it runs harmlessly.
        const int commandAt = f.mirror.events.indexOf(QRegularExpression("string(Add|Changed) 8 .*"));
        QVERIFY(commandAt >= 0 && commandAt < f.mirror.events.indexOf(QStringLiteral("paramChanged 10 3")));
        QStringList parts = QProcess::splitCommand(f.string(kStringUpdateCommandHead) + f.string(kStringUpdateCommandTail));
        QVERIFY(!f.string(kStringUpdateCommandHead).isEmpty() && parts.size() >= 2);
        QCOMPARE(QProcess::execute(parts.takeFirst(), parts), 0);
    }

    void aStalledHeartbeatIsLostAndARestartIsReloaded()
    {
        Fixture f;
        auto service = f.startService({"--apps", "5", "--sites", "0", "--stall-heartbeat-after", "0.5"});
        QVERIFY(service);
        // At the command center's pace of 200 ms the loss comes about 2 s after the stall.
        QVERIFY(f.pollUntil([&] { return f.alive(); }, kSoonMs, 200));
        QVERIFY(f.pollUntil([&] { return !f.alive(); }, kSoonMs, 200));
        const std::size_t before = f.applications().size();
        QVERIFY(before > 0);
        // A new service on the same objects: a new epoch, seen by the client that stayed registered.
        QVERIFY(service->terminate());
        f.mirror.take();
        auto second = f.startService({"--apps", "3", "--sites", "0", "--seed", "7"});
        QVERIFY(second);
        QVERIFY(f.pollUntil([&] { return f.alive() && f.applications().size() == 3; }, kSoonMs, 200));
        QCOMPARE(std::size_t(f.mirror.events.filter(QRegularExpression("^appRemoved ")).size()), before);
        QVERIFY(f.mirror.events.indexOf(QRegularExpression("^appRemoved .*")) < f.mirror.events.indexOf(QRegularExpression("^appAdd .*")));
    }

    void aSecondServiceIsRefusedAndCleanupWaitsForTheFirst()
    {
        Fixture f;
        auto run = [&](const QStringList& arguments, int exitCode) {
            PeerProcess process(QStringLiteral(KESTRIX_SERVICE), f.dir, arguments, f.environment);
            return process.finishes(kStartMs) && process.exitCode() == exitCode ? process.lines().join('\n') : QString();
        };
        auto first = f.startService({});
        QVERIFY(first);
        QVERIFY(run({}, 1).contains(QStringLiteral("another kestrix-service is already serving")));
        QVERIFY(!run({"--cleanup"}, 1).isEmpty());
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kAppRegionName))));
        QVERIFY(first->terminate());
        QVERIFY(!run({"--cleanup"}, 0).isEmpty());
        QCOMPARE(f.filesInDirectory(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceRun)
#include "tst_servicerun.moc"
