// kestrix-service as the command center meets it: the real executable in a
// private object directory, a Client in this process polling it.

#include "linktestsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <set>

#ifndef KESTRIX_SERVICE
#error "KESTRIX_SERVICE must name the kestrix-service executable"
#endif

using namespace servicelink;
using namespace linktest;

namespace {

constexpr int kStartMs = 10000;
// The bound of a wait for something the service does within a second or so.
// Generous, since it only decides when such a wait is declared stuck, and the
// machines running this are shared.
constexpr int kSoonMs = 15000;

// What the client knows, kept up to date from the reports.
class Mirror : public RecordingCallback {
public:
    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual, bool heartbeat) override
    {
        alive = heartbeat;
        if (!heartbeat)
            ++losses;
        return RecordingCallback::onActiveStateChanged(requested, actual, heartbeat);
    }
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override
    {
        parameters[id] = value;
        return RecordingCallback::onParameterAdd(id, value);
    }
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override
    {
        parameters[id] = value;
        if (id == 11)
            progress.push_back(value);
        return RecordingCallback::onParameterChanged(id, value);
    }
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override
    {
        strings[id] = QString::fromStdU16String(text);
        return RecordingCallback::onStringAdd(id, text);
    }
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override
    {
        strings[id] = QString::fromStdU16String(text);
        return RecordingCallback::onStringChanged(id, text);
    }

    bool alive = false;
    int losses = 0;
    std::map<std::uint32_t, std::uint32_t> parameters;
    std::map<std::uint32_t, QString> strings;
    std::vector<std::uint32_t> progress;
};

// A service in its own object directory with a client beside it.
struct Fixture {
    Fixture()
    {
        client.setObjectDirectory(dir.path());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
    }

    // Fast intervals unless the test gives its own.
    std::unique_ptr<PeerProcess> startService(QStringList arguments)
    {
        if (!arguments.contains(QStringLiteral("--tick-ms")))
            arguments << QStringLiteral("--tick-ms") << QStringLiteral("100");
        arguments << QStringLiteral("--heartbeat-ms") << QStringLiteral("20");
        auto service = std::make_unique<PeerProcess>(QStringLiteral(KESTRIX_SERVICE), dir, arguments,
                                                     environment);
        if (!service->waitForLineStartingWith(QStringLiteral("kestrix-service: serving"), kStartMs))
            return nullptr;
        return service;
    }

    // Polls at the command center's pace until @p done or @p timeoutMs.
    bool pollUntil(const std::function<bool()>& done, int timeoutMs, int intervalMs = 50)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            client.poll();
            if (done())
                return true;
            QTest::qWait(intervalMs);
        }
        return false;
    }

    bool connect() { return pollRegistered(kStartMs); }

    bool pollRegistered(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (client.vlcommRegister(&mirror) != 0) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    // The client's mirror: the service's values and the client's own writes.
    std::uint32_t parameter(std::uint32_t id)
    {
        std::uint32_t value = 0xFFFFFFFFu;
        client.controlCenterGetParameter(id, value);
        return value;
    }

    std::vector<AppInfo> applications()
    {
        std::vector<std::uint32_t> ids;
        client.listApplicationIds(ids);
        std::vector<AppInfo> apps;
        for (std::uint32_t id : ids) {
            AppInfo info{};
            if (client.getApplication(id, info) == 0)
                apps.push_back(info);
        }
        return apps;
    }

    std::vector<SiteInfo> sites()
    {
        std::vector<std::uint32_t> ids;
        client.listSiteIds(ids);
        std::vector<SiteInfo> result;
        for (std::uint32_t id : ids) {
            SiteInfo info{};
            if (client.getSite(id, info) == 0)
                result.push_back(info);
        }
        return result;
    }

    ObjectDir dir;
    QTemporaryDir cache;
    QProcessEnvironment environment;
    Mirror mirror;
    Client client;
};

} // namespace

class TestServiceRun : public QObject {
    Q_OBJECT

private slots:
    void aClientRegistersAndTheHeartbeatStaysAlive()
    {
        Fixture f;
        // Speeds change at the everyday pace of once a second here.
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--tick-ms"),
                                       QStringLiteral("1000")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QCOMPARE(f.client.poll(), 0);

        // Believable demo data after one poll: 24 applications, 4 of them system
        // applications, 8 sites, icons that are real files.
        const auto apps = f.applications();
        QCOMPARE(apps.size(), std::size_t(24));
        int system = 0;
        for (const AppInfo& app : apps) {
            system += app.processClass != 0 ? 1 : 0;
            const QString icon = QString::fromStdU16String(textFromField(app.iconPath));
            QVERIFY2(QFile::exists(icon), qPrintable(icon));
            QVERIFY(app.priority >= 1 && app.priority <= 4);
        }
        QCOMPARE(system, 4);
        QCOMPARE(f.sites().size(), std::size_t(8));
        QVERIFY(f.parameter(5) != 0xFFFFFFFFu && f.parameter(6) != 0xFFFFFFFFu);

        QVERIFY(f.pollUntil([&] { return f.mirror.alive; }, kSoonMs));
        // A second of polls at 20 ms: never reported gone.
        f.pollUntil([] { return false; }, 1000, 20);
        QVERIFY(f.mirror.alive);
        QCOMPARE(f.mirror.losses, 0);

        QVERIFY(service->terminate());
        QVERIFY(service->endedCleanly());
        QVERIFY(service->lines().contains(QStringLiteral("kestrix-service: stopped")));
        // The objects stay for the next service.
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kAppRegionName))));
    }

    void theAdapterArrives()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--nic-state"),
                                       QStringLiteral("3"), QStringLiteral("--vendor"), QStringLiteral("5")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QVERIFY(f.pollUntil([&] { return f.mirror.strings.size() >= 7; }, kSoonMs));
        QCOMPARE(f.mirror.strings[0], QStringLiteral("kestrix-demo0"));
        QCOMPARE(f.mirror.strings[1], QStringLiteral("192.0.2.10"));
        QCOMPARE(f.mirror.strings[2], QStringLiteral("2001:db8::10"));
        QCOMPARE(f.mirror.strings[3], QStringLiteral("02:00:5E:10:00:01"));
        QCOMPARE(f.mirror.strings[4], QStringLiteral("192.0.2.1"));
        QCOMPARE(f.mirror.strings[5], QStringLiteral("255.255.255.0"));
        QVERIFY(f.mirror.strings[6].contains(QStringLiteral("demo")));
        QCOMPARE(f.parameter(7), 3u);
        QCOMPARE(f.parameter(8), 0u);
        QCOMPARE(f.parameter(9), 5u);
    }

    void theHostsAdapterIsReported()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--no-demo")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QVERIFY(f.pollUntil([&] { return f.mirror.strings.size() >= 7; }, kSoonMs));
        QVERIFY(!f.mirror.strings[0].isEmpty());
        QVERIFY(!f.mirror.strings[6].isEmpty());
        QVERIFY(f.parameter(7) == 0u || f.parameter(7) == 3u);
        QVERIFY(f.applications().empty());
    }

    void aPriorityChangeIsTakenOverAndTheServiceKeepsItsSpeeds()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QVERIFY(f.pollUntil([&] { return !f.applications().empty(); }, kSoonMs));

        // Read, modify, write, as the command center does.
        AppInfo steam{};
        for (const AppInfo& app : f.applications()) {
            if (textFromField(app.name) == u"steam.exe")
                steam = app;
        }
        QVERIFY(steam.id != 0);
        const std::uint32_t newPriority = steam.priority == 1 ? 4 : 1;
        steam.priority = newPriority;
        steam.isPinned = 1;
        steam.downloadSpeed = 0;
        QCOMPARE(f.client.controlCenterModifyApplication(steam), 0);
        const QString expected = QStringLiteral("took application %1 (steam.exe) priority %2 pinned 1")
                                     .arg(steam.id)
                                     .arg(newPriority);
        QVERIFY2(service->waitForLine(expected, kSoonMs), qPrintable(service->lines().join('\n')));

        // Later tables keep the user's choice; the speeds go on being the service's.
        std::set<std::uint32_t> speeds;
        QVERIFY(f.pollUntil(
            [&] {
                AppInfo now{};
                if (f.client.getApplication(steam.id, now) != 0 || now.priority != newPriority
                    || now.isPinned != 1)
                    return false;
                speeds.insert(now.downloadSpeed);
                return speeds.size() >= 3;
            },
            5000));

        SiteInfo site = f.sites().front();
        site.priority = site.priority == 2 ? 3 : 2;
        QCOMPARE(f.client.controlCenterModifySite(site), 0);
        QVERIFY(service->waitForLineStartingWith(
            QStringLiteral("took site %1 ").arg(site.id), 3000));
    }

    void speedLimitsCapTheTotals()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--apps"),
                                       QStringLiteral("60"), QStringLiteral("--inactive")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QVERIFY(f.pollUntil([&] { return f.parameter(6) != 0xFFFFFFFFu; }, kSoonMs));

        // Off: limits do not apply; the demo wants far more than 3 Mbps at times.
        QCOMPARE(f.client.controlCenterSetParameter(4, 3000), 0);
        QCOMPARE(f.client.controlCenterSetParameter(3, 500), 0);
        QVERIFY(service->waitForLine(QStringLiteral("took parameter 3 (upload limit) value 500"), kSoonMs));
        std::uint32_t highest = 0;
        f.pollUntil([&] { highest = std::max(highest, f.parameter(6)); return false; }, 1500);
        QVERIFY2(highest > 3000, qPrintable(QString::number(highest)));

        // On: the service answers with parameter 1, and the totals stay within.
        QCOMPARE(f.client.controlCenterSetParameter(0, 1), 0);
        QVERIFY(f.pollUntil([&] { return f.parameter(1) == 1u; }, kSoonMs));
        QTest::qWait(250);   // one table computed under the limits
        f.client.poll();
        int checked = 0;
        QVERIFY(f.pollUntil(
            [&] {
                if (f.parameter(6) > 3000 || f.parameter(5) > 500)
                    return true;   // a failure: caught below
                std::uint64_t down = 0;
                for (const AppInfo& app : f.applications())
                    down += app.downloadSpeed;
                for (const SiteInfo& site : f.sites())
                    down += site.downloadSpeed;
                if (down > 3000)
                    return true;
                return ++checked >= 20;
            },
            kSoonMs));
        QVERIFY2(f.parameter(6) <= 3000, qPrintable(QString::number(f.parameter(6))));
        QVERIFY2(f.parameter(5) <= 500, qPrintable(QString::number(f.parameter(5))));
        QCOMPARE(checked, 20);
    }

    void anAcceptedUpdateEndsWithTheInstallerCommand()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--offer-update"),
                                       QStringLiteral("0.3"), QStringLiteral("--download-seconds"),
                                       QStringLiteral("0.6")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(10, 0), 0);   // checks allowed
        QVERIFY(f.pollUntil([&] { return f.parameter(10) == 1u; }, kSoonMs));

        QCOMPARE(f.client.controlCenterSetParameter(10, 2), 0);   // accepted
        QVERIFY(f.pollUntil([&] { return f.parameter(10) == 3u; }, kSoonMs));
        QVERIFY(!f.mirror.progress.empty());
        QVERIFY(std::is_sorted(f.mirror.progress.begin(), f.mirror.progress.end()));
        QCOMPARE(f.parameter(11), f.parameter(12));
        QVERIFY(f.parameter(12) > 0);

        // The command came before the state, split over strings 7 and 8.
        const int commandAt = f.mirror.events.indexOf(QRegularExpression("string(Add|Changed) 8 .*"));
        const int doneAt = f.mirror.events.indexOf(QStringLiteral("paramChanged 10 3"));
        QVERIFY(commandAt >= 0 && commandAt < doneAt);
        const QString command = f.mirror.strings[7] + f.mirror.strings[8];
        QVERIFY(!f.mirror.strings[7].isEmpty() && !f.mirror.strings[8].isEmpty());

        // It runs, harmlessly, and notes that it ran.
        QStringList parts = QProcess::splitCommand(command);
        QVERIFY(parts.size() >= 2);
        QCOMPARE(QProcess::execute(parts.takeFirst(), parts), 0);
        QFile log(f.cache.path() + "/kestrix-service/update/installed.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().startsWith("installed 1.0.55.0"));

        // Disabled after the installer: no new offer.
        QCOMPARE(f.client.controlCenterSetParameter(10, 5), 0);
        QVERIFY(service->waitForLine(QStringLiteral("took parameter 10 (update state) value 5"), kSoonMs));
    }

    void aFailedDownloadIsReported()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--offer-update"),
                                       QStringLiteral("0"), QStringLiteral("--fail-update"),
                                       QStringLiteral("--download-seconds"), QStringLiteral("0.5")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QVERIFY(f.pollUntil([&] { return f.parameter(10) == 1u; }, kSoonMs));
        QCOMPARE(f.client.controlCenterSetParameter(10, 2), 0);
        QVERIFY(f.pollUntil([&] { return f.parameter(10) == 4u; }, kSoonMs));
        QVERIFY(f.parameter(11) < f.parameter(12));
        QVERIFY(f.mirror.strings.count(7) == 0);
    }

    void noOfferWhileUpdatesAreDisabled()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--offer-update"),
                                       QStringLiteral("0.4")});
        QVERIFY(service);
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(10, 5), 0);
        f.pollUntil([] { return false; }, 1200);
        QCOMPARE(f.parameter(10), 5u);
        // Allowed again: the offer comes.
        QCOMPARE(f.client.controlCenterSetParameter(10, 0), 0);
        QVERIFY(f.pollUntil([&] { return f.parameter(10) == 1u; }, kSoonMs));
    }

    void aStalledHeartbeatIsLostAndARestartIsReloaded()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--apps"),
                                       QStringLiteral("5"), QStringLiteral("--sites"), QStringLiteral("0"),
                                       QStringLiteral("--stall-heartbeat-after"), QStringLiteral("0.5")});
        QVERIFY(service);
        QVERIFY(f.connect());
        // At the command center's pace of 200 ms the loss comes about 2 s after the stall.
        QVERIFY(f.pollUntil([&] { return f.mirror.alive; }, kSoonMs, 200));
        QElapsedTimer sinceAlive;
        sinceAlive.start();
        QVERIFY(f.pollUntil([&] { return !f.mirror.alive; }, kSoonMs, 200));
        QVERIFY2(sinceAlive.elapsed() >= 1500, qPrintable(QString::number(sinceAlive.elapsed())));
        std::vector<std::uint32_t> before;
        f.client.listApplicationIds(before);
        QVERIFY(!before.empty());

        // A new service on the same objects: a new epoch, seen by the client
        // that stayed registered.
        QVERIFY(service->terminate());
        f.mirror.take();
        auto second = f.startService({QStringLiteral("--fake-adapter"), QStringLiteral("--apps"),
                                      QStringLiteral("3"), QStringLiteral("--sites"), QStringLiteral("0"),
                                      QStringLiteral("--seed"), QStringLiteral("7")});
        QVERIFY(second);
        QVERIFY(f.pollUntil([&] { return f.mirror.alive && f.applications().size() == 3; }, kSoonMs, 200));
        const QStringList events = f.mirror.events;
        QCOMPARE(events.filter(QRegularExpression("^appRemoved ")).size(), int(before.size()));
        QVERIFY(events.indexOf(QRegularExpression("^appRemoved .*"))
                < events.indexOf(QRegularExpression("^appAdd .*")));
    }

    void aSecondServiceIsRefusedAndCleanupWaitsForTheFirst()
    {
        Fixture f;
        auto first = f.startService({QStringLiteral("--fake-adapter")});
        QVERIFY(first);
        PeerProcess second(QStringLiteral(KESTRIX_SERVICE), f.dir, {QStringLiteral("--fake-adapter")},
                           f.environment);
        QVERIFY(second.finishes(kStartMs));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.lines().join('\n').contains(QStringLiteral("another kestrix-service is already serving")));

        PeerProcess early(QStringLiteral(KESTRIX_SERVICE), f.dir, {QStringLiteral("--cleanup")}, f.environment);
        QVERIFY(early.finishes(kStartMs));
        QCOMPARE(early.exitCode(), 1);
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kAppRegionName))));

        QVERIFY(first->terminate());
        PeerProcess cleanup(QStringLiteral(KESTRIX_SERVICE), f.dir, {QStringLiteral("--cleanup")}, f.environment);
        QVERIFY(cleanup.finishes(kStartMs));
        QCOMPARE(cleanup.exitCode(), 0);
        QCOMPARE(QDir(QString::fromStdString(f.dir.path())).entryList(QDir::Files | QDir::System).size(), 0);
    }

    void badOptionsAreRefusedWithTheReason()
    {
        Fixture f;
        PeerProcess bad(QStringLiteral(KESTRIX_SERVICE), f.dir, {QStringLiteral("--apps"), QStringLiteral("many")},
                        f.environment);
        QVERIFY(bad.finishes(kStartMs));
        QCOMPARE(bad.exitCode(), 2);
        PeerProcess help(QStringLiteral(KESTRIX_SERVICE), f.dir, {QStringLiteral("--help")}, f.environment);
        QVERIFY(help.finishes(kStartMs));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.lines().join('\n').contains(QStringLiteral("--offer-update SECONDS")));
        // Neither touched the object directory.
        QCOMPARE(QDir(QString::fromStdString(f.dir.path())).entryList(QDir::Files | QDir::System).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceRun)
#include "tst_servicerun.moc"
