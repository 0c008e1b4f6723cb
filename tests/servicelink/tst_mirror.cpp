// How pull mirrors the service's tables: which reports come in which order,
// the sequence and ownership rules, epochs, and a hostile or shrinking peer.

#include "linktestsupport.h"

#include <QtTest>

#include <functional>

using namespace servicelink;
using namespace linktest;

namespace {

// A callback that can act in the middle of a pull.
class HookedCallback : public RecordingCallback {
public:
    std::function<void(std::uint32_t, std::uint32_t)> onParameter;
    std::function<void(std::uint32_t)> onApp;
    std::function<void(std::uint32_t)> onParameterGone;

    std::int32_t onParameterRemoved(std::uint32_t id) override
    {
        RecordingCallback::onParameterRemoved(id);
        if (onParameterGone)
            onParameterGone(id);
        return 0;
    }

    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override
    {
        RecordingCallback::onParameterChanged(id, value);
        if (onParameter)
            onParameter(id, value);
        return 0;
    }
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override
    {
        RecordingCallback::onAppAdd(id, info);
        if (onApp)
            onApp(id);
        return 0;
    }
};

struct Fixture {
    Fixture() : files(dir)
    {
        files.createAll();
        client.setObjectDirectory(dir.path());
    }
    bool connect() { return client.vlcommRegister(&callback) == 0; }

    ObjectDir dir;
    ServiceFiles files;
    HookedCallback callback;
    Client client;
};

} // namespace

class TestMirror : public QObject {
    Q_OBJECT

private slots:
    void reportsComeInTableOrderThenRegionOrderThenRemovalsAscending()
    {
        Fixture f;
        f.files.strings.writeTable<VlString>(1, 1, {string(1, 7, "setup.sh"), string(1, 0, "eth0")});
        f.files.sites.writeTable<SiteInfo>(1, 1, {site(1, 9, "example.org", 2)});
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 5, "steam.exe", 1), app(1, 3, "zoom", 3)});
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 6, 800), parameter(1, 5, 90)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{
            "paramAdd 6 800", "paramAdd 5 90",
            "appAdd 5 steam.exe p1 pin0 down0 up0", "appAdd 3 zoom p3 pin0 down0 up0",
            "siteAdd 9 example.org p2 pin0 down0 up0",
            "stringAdd 7 setup.sh", "stringAdd 0 eth0"}));

        // Changes and adds in region order, then vanished entries by id.
        f.files.apps.writeTable<AppInfo>(
            2, 1, {app(1, 9, "discord"), app(2, 5, "steam"), app(1, 1, "git")});
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(2, 5, 91)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{
            "paramChanged 5 91", "paramRemoved 6",
            "appAdd 9 discord p4 pin0 down0 up0", "appChanged 5 steam p1 pin0 down0 up0",
            "appAdd 1 git p4 pin0 down0 up0", "appRemoved 3"}));
        std::vector<std::uint32_t> ids;
        f.client.listApplicationIds(ids);
        QCOMPARE(ids, (std::vector<std::uint32_t>{1, 5, 9}));
    }

    void onlyAGreaterSequenceIsTakenOver()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(5, 4, "spotify")});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();

        f.files.apps.writeTable<AppInfo>(2, 1, {app(5, 4, "changed but same sequence")});
        QCOMPARE(f.client.pull(), 0);
        f.files.apps.writeTable<AppInfo>(3, 1, {app(4, 4, "older sequence")});
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
        AppInfo info{};
        QCOMPARE(f.client.getApplication(4, info), 0);
        QCOMPARE(textFromField(info.name), std::u16string(u"spotify"));

        // The same generation is not even looked at.
        f.files.apps.writeTable<AppInfo>(3, 1, {app(9, 4, "unseen")});
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void theClientKeepsItsOwnPriorityAndPin()
    {
        Fixture f;
        AppRecord first = app(1, 4, "firefox", 2);
        first.payload.isPinned = 1;
        f.files.apps.writeTable<AppInfo>(1, 1, {first});
        SiteRecord firstSite = site(1, 8, "video.example", 3);
        f.files.sites.writeTable<SiteInfo>(1, 1, {firstSite});
        QVERIFY(f.connect());
        f.client.pull();
        // Taken over when the entry first appears.
        QCOMPARE(f.callback.take(), (QStringList{"appAdd 4 firefox p2 pin1 down0 up0",
                                                 "siteAdd 8 video.example p3 pin0 down0 up0"}));

        AppRecord changed = app(2, 4, "firefox-esr", 1);
        changed.payload.isPinned = 0;
        changed.payload.downloadSpeed = 1200;
        changed.payload.uploadSpeed = 80;
        changed.payload.processClass = 3;
        f.files.apps.writeTable<AppInfo>(2, 1, {changed});
        SiteRecord changedSite = site(2, 8, "video.example", 1);
        changedSite.payload.isPinned = 1;
        changedSite.payload.downloadSpeed = 64;
        f.files.sites.writeTable<SiteInfo>(2, 1, {changedSite});
        f.client.pull();
        QCOMPARE(f.callback.take(), (QStringList{"appChanged 4 firefox-esr p2 pin1 down1200 up80",
                                                 "siteChanged 8 video.example p3 pin0 down64 up0"}));
        QCOMPARE(f.callback.lastApp.processClass, 3u);
        AppInfo info{};
        QCOMPARE(f.client.getApplication(4, info), 0);
        QCOMPARE(info.priority, 2u);
        QCOMPARE(info.downloadSpeed, 1200u);
    }

    void theServiceKeepsItsOwnSpeeds()
    {
        Fixture f;
        ServiceLink service;
        service.setObjectDirectory(f.dir.path());
        HookedCallback serviceReports;
        QCOMPARE(service.vlcommRegister(&serviceReports), 0);
        AppInfo zoom = makeApp(11, "zoom", 3);
        zoom.downloadSpeed = 5000;
        zoom.uploadSpeed = 700;
        QCOMPARE(service.controlCenterModifyApplication(zoom), 0);

        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        AppInfo mine{};
        QCOMPARE(f.client.getApplication(11, mine), 0);
        QCOMPARE(mine.downloadSpeed, 5000u);

        // The client's record carries stale speeds; the service keeps its own.
        mine.priority = 1;
        mine.isPinned = 1;
        mine.downloadSpeed = 1;
        mine.uploadSpeed = 2;
        textToField(mine.iconPath, u"/tmp/zoom.png");
        QCOMPARE(f.client.controlCenterModifyApplication(mine), 0);
        serviceReports.take();
        QCOMPARE(service.poll(), 0);
        QCOMPARE(serviceReports.take(), QStringList{"appChanged 11 zoom p1 pin1 down5000 up700"});
        AppInfo theirs{};
        QCOMPARE(service.getApplication(11, theirs), 0);
        QCOMPARE(textFromField(theirs.iconPath), std::u16string(u"/tmp/zoom.png"));
    }

    void aNewEpochDropsTheMirrorBeforeReloadingIt()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(7, 1, {app(1, 30, "old-b"), app(1, 10, "old-a")});
        f.files.parameters.writeTable<ParameterValue>(3, 1, {parameter(1, 4, 100)});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();

        // New epoch, same generation and sequences: still a complete reload.
        f.files.apps.writeTable<AppInfo>(7, 2, {app(1, 10, "new-a"), app(1, 20, "new-c")});
        f.files.parameters.writeTable<ParameterValue>(3, 2, {parameter(1, 4, 200)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{
            "paramRemoved 4", "paramAdd 4 200",
            "appRemoved 10", "appRemoved 30",
            "appAdd 10 new-a p4 pin0 down0 up0", "appAdd 20 new-c p4 pin0 down0 up0"}));
    }

    void aReloadedTableIsWrittenBackWhenTheClientHadPublishedIt()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 10, "a")});
        QVERIFY(f.connect());
        f.client.pull();
        AppInfo info{};
        f.client.getApplication(10, info);
        info.priority = 1;
        QCOMPARE(f.client.controlCenterModifyApplication(info), 0);   // published once

        f.files.apps.writeTable<AppInfo>(5, 2, {app(1, 10, "a"), app(1, 11, "b")});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.files.apps.header().generation, std::uint64_t(5));
        // Any later publish writes the reloaded table back.
        QCOMPARE(f.client.controlCenterSetParameter(3, 0), 0);
        QCOMPARE(f.files.apps.header().generation, std::uint64_t(6));
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), std::size_t(2));
    }

    void theSiteTableIgnoresEpochs()
    {
        Fixture f;
        f.files.sites.writeTable<SiteInfo>(4, 1, {site(1, 2, "a.example")});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();
        f.files.sites.writeTable<SiteInfo>(4, 9, {site(1, 2, "a.example")});
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
        f.files.sites.writeTable<SiteInfo>(5, 9, {site(1, 2, "a.example")});
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void duplicateIdsCountAsPresent()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 3, "first"), app(2, 3, "second"), app(1, 3, "third")});
        QVERIFY(f.connect());
        f.client.pull();
        QCOMPARE(f.callback.take(), (QStringList{"appAdd 3 first p4 pin0 down0 up0",
                                                 "appChanged 3 second p4 pin0 down0 up0"}));
    }

    void anEmptiedTableRemovesEverythingInIdOrder()
    {
        Fixture f;
        f.files.strings.writeTable<VlString>(1, 1, {string(1, 8, "b"), string(1, 1, "a"), string(1, 4, "c")});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();
        f.files.strings.writeTable<VlString>(2, 1, std::vector<StringRecord>{});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"stringRemoved 1", "stringRemoved 4", "stringRemoved 8"}));
        // The generation still counts: nothing more on the next pull.
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void activeStateParametersMakePullReturnOneOnlyWhenChanged()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 0, 0), parameter(1, 1, 0)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);   // appearing is not a change
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(1, 0, 0), parameter(2, 1, 1)});
        QCOMPARE(f.client.pull(), 1);
        f.files.parameters.writeTable<ParameterValue>(3, 1, {parameter(2, 0, 1), parameter(2, 1, 1)});
        QCOMPARE(f.client.pull(), 1);
        f.files.parameters.writeTable<ParameterValue>(4, 1, {parameter(2, 0, 1), parameter(2, 1, 1), parameter(5, 7, 3)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 0 0", "paramAdd 1 0", "paramChanged 1 1",
                                                 "paramChanged 0 1", "paramAdd 7 3"}));
    }

    void ownPublishIsNotReadBack()
    {
        Fixture f;
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(0, 1), 0);
        QCOMPARE(f.client.setString(3, u"aa:bb"), 0);
        QCOMPARE(f.client.addApplication(makeApp(12, "own")), 0);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.client.synchronise(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void aParameterReportMayWriteDuringThePull()
    {
        Fixture f;
        // Service state: an update was offered (10 = 1), more parameters follow it.
        f.files.parameters.writeTable<ParameterValue>(
            1, 1, {parameter(1, 10, 0), parameter(1, 11, 0), parameter(1, 12, 0)});
        f.files.strings.writeTable<VlString>(1, 1, {string(1, 7, "install")});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();

        int nestedWrites = 0;
        f.callback.onParameter = [&](std::uint32_t id, std::uint32_t value) {
            if (id == 10 && value == 3) {
                ++nestedWrites;
                QCOMPARE(f.client.controlCenterSetParameter(10, 5), 0);
            }
        };
        f.files.parameters.writeTable<ParameterValue>(
            2, 1, {parameter(4, 10, 3), parameter(2, 11, 50), parameter(2, 12, 100)});
        f.files.strings.writeTable<VlString>(2, 1, {string(2, 7, "install --now")});
        QCOMPARE(f.client.pull(), 0);

        QCOMPARE(nestedWrites, 1);
        // Each change reported once, in order, and the other tables still pulled.
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 10 3", "paramChanged 11 50",
                                                 "paramChanged 12 100", "stringChanged 7 install --now"}));
        // The write carries a sequence above the service's and reached the region.
        const auto records = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(records.size(), std::size_t(3));
        QCOMPARE(records[0].id, 10u);
        QCOMPARE(records[0].payload.value, 5u);
        QCOMPARE(records[0].sequence, std::uint64_t(5));
        QCOMPARE(f.files.parameters.header().generation, std::uint64_t(3));
        // Nothing of it is read back as a change.
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void aRemovalReportMayWriteDuringThePull()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(
            1, 1, {parameter(1, 0, 0), parameter(1, 1, 0), parameter(1, 5, 7), parameter(1, 6, 8)});
        QVERIFY(f.connect());
        f.client.pull();
        f.callback.take();

        // The service drops 5 and 6; the program answers the first removal with a write.
        int writes = 0;
        f.callback.onParameterGone = [&](std::uint32_t id) {
            if (id == 5) {
                ++writes;
                QCOMPARE(f.client.controlCenterSetParameter(9, 1), 0);
            }
        };
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(1, 0, 0), parameter(1, 1, 0)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(writes, 1);
        QCOMPARE(f.callback.take(), (QStringList{"paramRemoved 5", "paramRemoved 6"}));
        // The write went out without the removed entries.
        const auto records = f.files.parameters.readTable<ParameterValue>();
        QCOMPARE(records.size(), std::size_t(3));
        QCOMPARE(records[2].id, 9u);

        // The same during a new epoch: every old entry reported once, then the new table.
        f.callback.onParameterGone = [&](std::uint32_t id) {
            if (id == 0)
                QCOMPARE(f.client.controlCenterSetParameter(4, 100), 0);
        };
        f.files.parameters.writeTable<ParameterValue>(1, 2, {parameter(1, 0, 1), parameter(1, 1, 1)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramRemoved 0", "paramRemoved 1", "paramRemoved 9",
                                                 "paramAdd 0 1", "paramAdd 1 1"}));
        std::uint32_t value = 0;
        QCOMPARE(f.client.controlCenterGetParameter(4, value), 0);
        QCOMPARE(value, 100u);
        QCOMPARE(f.client.controlCenterGetParameter(0, value), 0);
        QCOMPARE(value, 1u);
    }

    void aCountBeyondTheFileIsReadOnlyAsFarAsTheFileGoes()
    {
        Fixture f;
        LogCapture log;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 1, "a"), app(1, 2, "b")}, 0xFFFFFFFF);
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 5, 1)}, 0x7FFFFFFF);
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 5 1", "appAdd 1 a p4 pin0 down0 up0",
                                                 "appAdd 2 b p4 pin0 down0 up0"}));
        QCOMPARE(log.count("count claims more records"), 2);

        // The same bad header is logged once, a different one again.
        f.files.apps.writeTable<AppInfo>(2, 1, {app(2, 1, "a2"), app(1, 2, "b")}, 0xFFFFFFFF);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(log.count("count claims more records"), 3);
        QCOMPARE(f.callback.take(), QStringList{"appChanged 1 a2 p4 pin0 down0 up0"});

        // A partial record at the end is not read.
        f.files.apps.writeTable<AppInfo>(3, 1, {app(2, 1, "a2"), app(1, 2, "b")}, 3);
        f.files.apps.truncate(16 + 2 * 1600 + 100);
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void aRegionShrinkingDuringTheWalkLeavesTheTableUnchanged()
    {
        Fixture f;
        LogCapture log;
        std::vector<AppRecord> records;
        for (std::uint32_t id = 1; id <= 8; ++id)
            records.push_back(app(1, id, "app"));
        f.files.apps.writeTable<AppInfo>(1, 1, records);
        f.files.strings.writeTable<VlString>(1, 1, {string(1, 0, "eth0")});
        QVERIFY(f.connect());

        // The peer truncates the file while the client walks it.
        f.callback.onApp = [&](std::uint32_t id) {
            if (id == 1)
                f.files.apps.truncate(16);
        };
        QCOMPARE(f.client.pull(), 0);
        f.callback.onApp = nullptr;
        const QStringList events = f.callback.take();
        // Records in the first page were read; the walk then ended without removals,
        // and the tables after it were still pulled.
        QVERIFY2(events.size() >= 2 && events.size() < 9, qPrintable(events.join('|')));
        QVERIFY(events.filter("appRemoved").isEmpty());
        QCOMPARE(events.last(), QStringLiteral("stringAdd 0 eth0"));
        QCOMPARE(log.count("shrank under the reader"), 1);

        // Unchanged means tried again: once the peer rewrites it, all is read.
        // (Bytes behind the new end of the last page read as zeros while the
        // file was short; whatever they seemed to hold is dropped now.)
        f.files.apps.writeTable<AppInfo>(1, 1, records);
        QCOMPARE(f.client.pull(), 0);
        std::vector<std::uint32_t> ids;
        f.client.listApplicationIds(ids);
        QCOMPARE(ids, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
        for (const QString& event : f.callback.take()) {
            const bool removedAKnownApp = event.startsWith("appRemoved") && event != "appRemoved 0";
            QVERIFY2(!removedAKnownApp, qPrintable(event));
        }
    }

    void aRegionCutBelowItsHeaderIsSkipped()
    {
        Fixture f;
        LogCapture log;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 1, "a")});
        f.files.sites.writeTable<SiteInfo>(1, 1, {site(1, 2, "s")});
        QVERIFY(f.connect());
        f.files.apps.truncate(0);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), QStringList{"siteAdd 2 s p4 pin0 down0 up0"});
        QCOMPARE(log.count("shorter than its header"), 1);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(log.count("shorter than its header"), 1);

        // A write commits, which grows the file back to a whole table.
        QCOMPARE(f.client.controlCenterModifyApplication(makeApp(1, "mine")), 0);
        const auto written = f.files.apps.readTable<AppInfo>();
        QCOMPARE(written.size(), std::size_t(1));
        QCOMPARE(textFromField(written[0].payload.name), std::u16string(u"mine"));
        QCOMPARE(f.client.pull(), 0);
        QVERIFY(f.callback.events.isEmpty());
    }

    void textsAreNeverReadPast260Units()
    {
        Fixture f;
        AppRecord full = app(1, 1, "");
        for (auto& unit : full.payload.name)
            unit = u'n';
        for (auto& unit : full.payload.iconPath)
            unit = u'i';
        StringRecord text = string(1, 6, "");
        for (auto& unit : text.payload.text)
            unit = u'm';
        f.files.apps.writeTable<AppInfo>(1, 1, {full});
        f.files.strings.writeTable<VlString>(1, 1, {text});
        QVERIFY(f.connect());
        f.client.pull();
        QCOMPARE(textFromField(f.callback.lastApp.name), std::u16string(260, u'n'));
        QCOMPARE(f.callback.lastText, std::u16string(260, u'm'));
        std::u16string got;
        QCOMPARE(f.client.getString(6, got), 0);
        QCOMPARE(got.size(), std::size_t(260));
    }
};

QTEST_GUILESS_MAIN(TestMirror)
#include "tst_mirror.moc"
