// The requests: reads from the mirror, writes that the service takes over
// because their sequence is greater, adds, removals, and a publish that
// cannot commit its memory.

#include "linktestsupport.h"

#include <QtTest>

#include <cstring>

using namespace servicelink;
using namespace linktest;

namespace {

struct Fixture {
    Fixture() : files(dir)
    {
        files.createAll();
        client.setObjectDirectory(dir.path());
        std::string why;
        clientEvent = platform::NamedEvent::openOrCreate(dir.pathOf(kClientEventName), why);
    }
    bool connect() { return client.vlcommRegister(&callback) == 0; }
    bool serviceWasWoken() { return clientEvent.wait(0) == platform::NamedEvent::WaitResult::Signalled; }

    ObjectDir dir;
    ServiceFiles files;
    RecordingCallback callback;
    Client client;
    platform::NamedEvent clientEvent;
};

} // namespace

class TestRequests : public QObject {
    Q_OBJECT

private slots:
    void settingANewParameterCreatesItWithSequenceOne()
    {
        Fixture f;
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(4, 25000), 0);
        QVERIFY(f.serviceWasWoken());
        const auto records = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records[0].sequence, std::uint64_t(1));
        QCOMPARE(records[0].id, 4u);
        QCOMPARE(records[0].mark, 0u);
        QCOMPARE(records[0].payload.value, 25000u);
        QCOMPARE(f.files.parameters.header().generation, std::uint64_t(1));
        // Only the changed table is rewritten.
        QCOMPARE(f.files.apps.header().generation, std::uint64_t(0));

        // The same value again is still a write.
        QCOMPARE(f.client.controlCenterSetParameter(4, 25000), 0);
        QVERIFY(f.serviceWasWoken());
        QCOMPARE(f.files.parameters.readTable<ParameterValue>()[0].sequence, std::uint64_t(2));
        QCOMPARE(f.files.parameters.header().generation, std::uint64_t(2));
        std::uint32_t value = 0;
        QCOMPARE(f.client.controlCenterGetParameter(4, value), 0);
        QCOMPARE(value, 25000u);
    }

    void aWriteOutranksEverySequenceTheServicePublished()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(3, 3, 100), parameter(1, 2, 1)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        // The service moved on, and the client has not polled since.
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(7, 3, 200), parameter(2, 2, 2)});
        QCOMPARE(f.client.controlCenterSetParameter(3, 300), 0);
        const auto records = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(records.size(), std::size_t(2));
        QCOMPARE(records[1].id, 3u);
        QCOMPARE(records[1].sequence, std::uint64_t(8));
        QCOMPARE(records[1].payload.value, 300u);
        // The heartbeat the service wrote is carried along, not lost.
        QCOMPARE(records[0].payload.value, 2u);
        // The pull inside the request reports only changes, not the active state.
        QCOMPARE(f.callback.events.filter("active").size(), 0);
        QVERIFY(f.callback.events.contains("paramChanged 3 200"));
    }

    void modifyingAnUnknownApplicationInsertsIt()
    {
        Fixture f;
        QVERIFY(f.connect());
        AppInfo info = makeApp(42, "git", 2);
        QCOMPARE(f.client.controlCenterModifyApplication(info), 0);
        SiteInfo site = makeSite(43, "docs.example", 1);
        QCOMPARE(f.client.controlCenterModifySite(site), 0);
        const auto apps = f.files.apps.readTable<AppInfo>();
        QCOMPARE(apps.size(), std::size_t(1));
        QCOMPARE(apps[0].sequence, std::uint64_t(1));
        QCOMPARE(apps[0].payload.priority, 2u);
        const auto sites = f.files.sites.readTable<SiteInfo>();
        QCOMPARE(sites.size(), std::size_t(1));
        QCOMPARE(sites[0].id, 43u);
        QCOMPARE(sites[0].payload.priority, 1u);
    }

    void readModifyWriteKeepsEveryOtherField()
    {
        Fixture f;
        AppRecord original = app(5, 77, "steam.exe", 4);
        original.payload.processClass = 2;
        original.payload.downloadSpeed = 900;
        textToField(original.payload.iconPath, u"/usr/share/icons/steam.png");
        textToField(original.payload.reservedText, u"kept by the service");
        f.files.apps.writeTable<AppInfo>(1, 1, {original});
        QVERIFY(f.connect());
        AppInfo info{};
        QCOMPARE(f.client.getApplication(77, info), -1);   // not polled yet
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.client.getApplication(77, info), 0);

        info.priority = 1;
        info.isPinned = 1;
        QCOMPARE(f.client.controlCenterModifyApplication(info), 0);
        const auto written = f.files.apps.readTable<AppInfo>();
        QCOMPARE(written.size(), std::size_t(1));
        QCOMPARE(written[0].sequence, std::uint64_t(6));
        QCOMPARE(written[0].payload.priority, 1u);
        QCOMPARE(written[0].payload.isPinned, std::uint8_t(1));
        QCOMPARE(written[0].payload.processClass, 2u);
        QCOMPARE(written[0].payload.downloadSpeed, 900u);
        QCOMPARE(textFromField(written[0].payload.reservedText), std::u16string(u"kept by the service"));
        QCOMPARE(std::memcmp(written[0].payload.iconPath, original.payload.iconPath,
                             sizeof original.payload.iconPath), 0);
    }

    void stringsOfExactly260UnitsAreStoredWithoutNul()
    {
        Fixture f;
        LogCapture log;
        QVERIFY(f.connect());
        const std::u16string full(260, u'x');
        QCOMPARE(f.client.setString(7, full), 0);
        const auto records = f.files.strings.readTable<VlString>();
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records[0].payload.text[259], u'x');
        std::u16string back;
        QCOMPARE(f.client.getString(7, back), 0);
        QCOMPARE(back, full);
        QCOMPARE(log.count("cut to 260"), 0);

        QCOMPARE(f.client.setString(8, std::u16string(400, u'y')), 0);
        QCOMPARE(f.client.getString(8, back), 0);
        QCOMPARE(back, std::u16string(260, u'y'));
        QCOMPARE(log.count("cut to 260"), 1);

        // A shorter text replaces a longer one completely.
        QCOMPARE(f.client.setString(7, u"short"), 0);
        QCOMPARE(f.client.getString(7, back), 0);
        QCOMPARE(back, std::u16string(u"short"));
    }

    void addingTakesTheChangeCounterAsSequenceAndNeverOverwrites()
    {
        Fixture f;
        QVERIFY(f.connect());
        QCOMPARE(f.client.addApplication(makeApp(1, "first")), 0);
        QCOMPARE(f.client.addApplication(makeApp(2, "second")), 0);
        QCOMPARE(f.client.addApplication(makeApp(1, "ignored")), 0);
        QCOMPARE(f.client.addSite(makeSite(3, "site")), 0);
        const auto apps = f.files.apps.readTable<AppInfo>();
        QCOMPARE(apps.size(), std::size_t(2));
        QCOMPARE(apps[0].sequence, std::uint64_t(0));
        QCOMPARE(apps[1].sequence, std::uint64_t(1));
        QCOMPARE(textFromField(apps[0].payload.name), std::u16string(u"first"));
        QCOMPARE(f.files.sites.readTable<SiteInfo>().size(), std::size_t(1));
        // An add that changes nothing still synchronises: it reports what the
        // service changed and returns the pull's result.
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 1, 1)});
        QCOMPARE(f.client.addApplication(makeApp(2, "again")), 0);
        QVERIFY(f.callback.events.contains("paramAdd 1 1"));
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(2, 1, 0)});
        QCOMPARE(f.client.addApplication(makeApp(2, "again")), 1);
    }

    void theFirstWriteAfterANewEpochIsPublished()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 2, 1)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(4, 100), 0);   // one publish so far
        // The service starts again: new epoch, its own new table.
        f.files.parameters.writeTable<ParameterValue>(1, 2, {parameter(1, 2, 1)});
        QCOMPARE(f.client.controlCenterSetParameter(4, 200), 0);
        const auto records = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(records.size(), std::size_t(2));
        QCOMPARE(records[1].id, 4u);
        QCOMPARE(records[1].payload.value, 200u);
    }

    void anAddSurvivesATableTheServiceRepublished()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 1, "service's")});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        f.files.apps.writeTable<AppInfo>(2, 1, {app(2, 1, "service's, later")});
        QCOMPARE(f.client.addApplication(makeApp(2, "client's")), 0);
        QVERIFY(f.callback.events.filter("appRemoved").isEmpty());
        const auto apps = f.files.apps.readTable<AppInfo>();
        QCOMPARE(apps.size(), std::size_t(2));
        QCOMPARE(textFromField(apps[0].payload.name), std::u16string(u"service's, later"));
        QCOMPARE(textFromField(apps[1].payload.name), std::u16string(u"client's"));
    }

    void removalIsPublishedAndSeenByTheService()
    {
        Fixture f;
        ServiceLink service;
        service.setObjectDirectory(f.dir.path());
        RecordingCallback serviceReports;
        QCOMPARE(service.vlcommRegister(&serviceReports), 0);
        QCOMPARE(service.controlCenterModifyApplication(makeApp(1, "a")), 0);
        QCOMPARE(service.controlCenterModifyApplication(makeApp(2, "b")), 0);
        QCOMPARE(service.controlCenterModifySite(makeSite(5, "s")), 0);
        serviceReports.take();

        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.client.removeApplication(1), 0);
        QCOMPARE(f.client.removeSite(5), 0);
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), std::size_t(1));
        QCOMPARE(service.poll(), 0);
        QCOMPARE(serviceReports.take(), (QStringList{"appRemoved 1", "siteRemoved 5"}));
        // Removing what is not there only synchronises.
        QCOMPARE(f.client.removeApplication(99), 0);
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), std::size_t(1));
    }

    void aFailedCommitKeepsTheChangeForTheNextPublish()
    {
        Fixture f;
        LogCapture log;
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(0, 1), 0);
        {
            FileSizeLimit limit(4096);
            // Three applications need more than 4096 bytes: the commit fails.
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(1, "a")), 0);
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(2, "b")), 0);
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(3, "c")), -1);
            QVERIFY(log.count("committing 4816 bytes") == 1);
            QVERIFY(log.lines.last().contains("too large"));
            // Tables after the failed one wait as well.
            QCOMPARE(f.client.controlCenterSetParameter(0, 0), -1);
            QCOMPARE(f.files.parameters.readTable<ParameterValue>()[0].payload.value, 1u);
            QCOMPARE(f.files.apps.readTable<AppInfo>().size(), std::size_t(2));
        }
        // The mirror kept both writes; the next publish delivers them.
        AppInfo kept{};
        QCOMPARE(f.client.getApplication(3, kept), 0);
        QCOMPARE(f.client.synchronise(), 0);
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), std::size_t(3));
        const auto parameters = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(parameters[0].payload.value, 0u);
        QCOMPARE(parameters[0].sequence, std::uint64_t(2));
    }

    void theServiceTakesOverWhatTheClientWrote()
    {
        Fixture f;
        ServiceLink service;
        service.setObjectDirectory(f.dir.path());
        RecordingCallback serviceReports;
        QCOMPARE(service.vlcommRegister(&serviceReports), 0);
        QCOMPARE(service.beginNewEpoch(), 0);
        QCOMPARE(service.controlCenterSetParameter(0, 0), 0);
        QCOMPARE(service.controlCenterSetParameter(10, 0), 0);
        QCOMPARE(service.poll(), 0);
        serviceReports.take();

        QVERIFY(f.connect());
        QCOMPARE(f.client.poll(), -1);   // no heartbeat published yet
        QCOMPARE(f.client.controlCenterSetParameter(0, 1), 0);
        QCOMPARE(f.client.controlCenterSetParameter(10, 5), 0);
        QCOMPARE(f.client.setString(20, u"from the client"), 0);
        QCOMPARE(service.poll(), 1);   // parameter 0 changed
        QCOMPARE(serviceReports.take(), (QStringList{"paramChanged 0 1", "paramChanged 10 5",
                                                     "stringAdd 20 from the client"}));
        std::uint32_t value = 0;
        QCOMPARE(service.controlCenterGetParameter(10, value), 0);
        QCOMPARE(value, 5u);
    }

    void aServiceBatchKeepsTheUsersChoicesAndRaisesOnlyWhatChanged()
    {
        Fixture f;
        ServiceLink service;
        service.setObjectDirectory(f.dir.path());
        QCOMPARE(service.vlcommRegister(nullptr), 0);
        AppInfo steam = makeApp(1, "steam", 3);
        AppInfo zoom = makeApp(2, "zoom", 2);
        AppInfo git = makeApp(3, "git", 4);
        QCOMPARE(service.publishApplications({steam, zoom, git}), 0);
        QCOMPARE(f.files.apps.header().generation, std::uint64_t(1));
        QCOMPARE(service.setParameters({{2, 1}, {5, 10}, {6, 20}}), 0);

        // The user moves zoom to CRITICAL and pins it.
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        AppInfo mine{};
        QCOMPARE(f.client.getApplication(2, mine), 0);
        mine.priority = 1;
        mine.isPinned = 1;
        QCOMPARE(f.client.controlCenterModifyApplication(mine), 0);

        // The service's next batch carries new speeds and its stale priority,
        // drops git, leaves steam as it was.
        zoom.downloadSpeed = 4000;
        QCOMPARE(service.publishApplications({steam, zoom}), 0);
        const auto apps = f.files.apps.readTable<AppInfo>();
        QCOMPARE(apps.size(), std::size_t(2));
        QCOMPARE(apps[0].sequence, std::uint64_t(1));   // steam unchanged
        QCOMPARE(apps[1].payload.priority, 1u);         // the user's choice stands
        QCOMPARE(apps[1].payload.isPinned, std::uint8_t(1));
        QCOMPARE(apps[1].payload.downloadSpeed, 4000u);
        QCOMPARE(apps[1].sequence, std::uint64_t(3));   // service 1, client 2, service 3

        // Unchanged parameters keep their sequence; nothing changed, nothing raised.
        QCOMPARE(service.setParameters({{2, 2}, {5, 10}}), 0);
        const auto parameters = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(parameters[0].sequence, std::uint64_t(2));   // heartbeat moved
        QCOMPARE(parameters[1].sequence, std::uint64_t(1));   // 5 did not
        const std::uint64_t generation = f.files.parameters.header().generation;
        QCOMPARE(service.setParameters({{5, 10}}), 0);
        QCOMPARE(f.files.parameters.header().generation, generation);

        QCOMPARE(service.setStrings({{0, u"eth0"}, {6, std::u16string(300, u'm')}}), 0);
        f.callback.take();
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 2 2", "appChanged 2 zoom p1 pin1 down4000 up0",
                                                 "appRemoved 3", "stringAdd 0 eth0",
                                                 "stringAdd 6 " + QString(260, 'm')}));
    }

    void aServiceStartingAgainIsSeenAsANewEpoch()
    {
        Fixture f;
        {
            ServiceLink first;
            first.setObjectDirectory(f.dir.path());
            QCOMPARE(first.vlcommRegister(nullptr), 0);
            QCOMPARE(first.beginNewEpoch(), 0);
            QCOMPARE(first.controlCenterModifyApplication(makeApp(1, "from the first")), 0);
            QCOMPARE(first.controlCenterSetParameter(2, 1), 0);
        }
        QVERIFY(f.connect());
        QCOMPARE(f.client.poll(), -1);
        f.callback.take();
        const std::uint32_t firstEpoch = f.files.apps.header().epoch;

        ServiceLink second;
        second.setObjectDirectory(f.dir.path());
        QCOMPARE(second.createObjects(), 0);
        QCOMPARE(second.vlcommRegister(nullptr), 0);
        QCOMPARE(second.beginNewEpoch(), 0);
        QCOMPARE(second.controlCenterModifyApplication(makeApp(2, "from the second")), 0);
        QVERIFY(f.files.apps.header().epoch != firstEpoch);
        // The second service did not inherit the first one's entries.
        std::vector<std::uint32_t> serviceIds;
        second.listApplicationIds(serviceIds);
        QCOMPARE(serviceIds, std::vector<std::uint32_t>{2});

        f.client.poll();
        const QStringList events = f.callback.take();
        QVERIFY2(events.indexOf("appRemoved 1") >= 0
                     && events.indexOf("appRemoved 1") < events.indexOf(QRegularExpression("appAdd 2 .*")),
                 qPrintable(events.join('|')));
    }
};

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
