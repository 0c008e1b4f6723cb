// The link in one process: the record layouts, registration and heartbeat
// supervision, how pull mirrors regions that the test writes byte by byte as
// a service (a hostile one included), and the requests.

#include "linktestsupport.h"
#include "manualtick.h"

#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace linktest;

namespace {

struct Fixture {
    explicit Fixture(bool withRegions = true) : files(dir)
    {
        if (withRegions)
            files.createAll();
        client.setObjectDirectory(dir.path());
        client.setTickSource(&ManualTick::read, &tick);
    }
    bool connect() { return client.vlcommRegister(&callback) == 0; }
    // Registers and takes the service's tables over, forgetting their reports.
    bool start() { return connect() && client.pull() >= 0 && !callback.take().isEmpty(); }
    // Parameters 0, 1 and the heartbeat 2 as a service publishes them.
    void beat(std::uint64_t generation, std::uint32_t heartbeat)
    {
        files.parameters.writeTable<ParameterValue>(generation, 1, {parameter(1, kParameterRequestedActive, 0), parameter(1, kParameterActualActive, 0),
                                                                    parameter(generation, kParameterHeartbeat, heartbeat)});
    }

    ObjectDir dir;
    ServiceFiles files;
    ManualTick tick;
    RecordingCallback callback;
    Client client;
};

// Where a record's field lies: the first byte that writing it changes in a
// zeroed record; or with @p zeroed false, how many bytes of a default record are not 0.
template <typename Record, typename Write>
int offsetOf(Write write, bool zeroed = true)
{
    Record record{};
    if (zeroed)
        std::memset(static_cast<void*>(&record), 0, sizeof record);
    write(record);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    const auto nonZero = [](std::uint8_t byte) { return byte != 0; };
    return zeroed ? int(std::find_if(bytes, bytes + sizeof record, nonZero) - bytes) : int(std::count_if(bytes, bytes + sizeof record, nonZero));
}

// Lowers this process's file size limit for a scope: growing a region fails (EFBIG) as on a full /dev/shm.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);   // the write should fail, not end the process
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lower{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};

} // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    // --- Records ---

    void recordLayout_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("expected");
        QTest::newRow("id") << offsetOf<AppRecord>([](auto& r) { r.id = 1; }) << 12;
        QTest::newRow("app downloadSpeed, behind 3 padding bytes") << offsetOf<AppRecord>([](auto& r) { r.payload.downloadSpeed = 1; }) << 24;
        QTest::newRow("app reservedText") << offsetOf<AppRecord>([](auto& r) { r.payload.reservedText[0] = 1; }) << 1080;
        QTest::newRow("site iconPath") << offsetOf<SiteRecord>([](auto& r) { r.payload.iconPath[0] = 1; }) << 556;
        QTest::newRow("parameter value") << offsetOf<ParameterRecord>([](auto& r) { r.payload.value = 1; }) << 16;
        QTest::newRow("17th site record") << int(16 + 16 * sizeof(SiteRecord)) << 17296;
        QTest::newRow("default record: only the priority set") << offsetOf<AppRecord>([](auto&) {}, false) << 1;
    }

    void recordLayout()
    {
        QFETCH(int, offset);
        QFETCH(int, expected);
        QCOMPARE(offset, expected);
    }

    void registrationNeedsAllFourRegionsAndSaysWhyOnce()
    {
        Fixture f(false);
        LogCapture log;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QCOMPARE(log.count("registration failed"), 1);   // retried every 200 ms, said once
        for (const RegionFile* file : {&f.files.apps, &f.files.sites, &f.files.parameters})
            file->create();
        QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QCOMPARE(f.files.strings.size(), 0u);   // a client never creates a region
        f.files.strings.create();
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QVERIFY(f.client.isConnected() && !f.client.isAlive());
        QCOMPARE(f.client.poll(), -1);   // no heartbeat parameter yet
    }

    void heartbeat_data()
    {
        QTest::addColumn<std::uint32_t>("start");
        QTest::addColumn<std::uint32_t>("step");
        QTest::addColumn<int>("lostAfter");   // polls after the change; -1: never
        QTest::newRow("10th still poll, 100 ms passed") << 1000u << 200u << 9;
        QTest::newRow("polls 5 ms apart wait for 100 ms") << 1000u << 5u << 20;
        QTest::newRow("across the tick's wrap") << 0xFFFFFFC0u << 10u << 10;
        QTest::newRow("a moving heartbeat") << 1000u << 1000u << -1;
    }

    void heartbeat()
    {
        QFETCH(std::uint32_t, start);
        QFETCH(std::uint32_t, step);
        QFETCH(int, lostAfter);
        Fixture f;
        f.tick.now = start;
        f.beat(1, 0);
        QVERIFY(f.connect());
        QVERIFY(f.client.poll() == 0 && !f.client.isAlive());   // 0 right after registration counts as unchanged
        f.beat(2, 5);
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take().filter("active"), QStringList{"active 0 0 1"});
        int polls = 0;
        while (f.client.isAlive() && polls < 60) {
            f.tick.now += step;
            if (lostAfter < 0)
                f.beat(3 + polls, 6 + polls);
            QCOMPARE(f.client.poll(), 0);
            ++polls;
        }
        QCOMPARE(f.client.isAlive() ? -1 : polls, lostAfter);
        if (lostAfter < 0)
            return;
        QCOMPARE(f.callback.take().filter("active"), QStringList{"active 0 0 0"});
        for (int i = 0; i < 20; ++i)
            QCOMPARE(f.client.poll(), 0);   // lost once, reported once
        f.beat(9, 6);
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take().filter("active"), QStringList{"active 0 0 1"});
    }

    void reportsComeInTableOrderThenRegionOrderThenRemovalsAscending()
    {
        Fixture f;
        StringRecord full = string(1, kStringUpdateCommandHead, "");
        std::fill(std::begin(full.payload.text), std::end(full.payload.text), u'w');   // 260 units, no NUL
        f.files.strings.writeTable<VlString>(1, 1, {full, string(1, kStringAdapterName, "eth0")});
        f.files.sites.writeTable<SiteInfo>(1, 1, {site(1, 9, "example.org", 2)});
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 5, "steam", 1), app(1, 3, "zoom", 3)});
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, kParameterDownloadSpeed, 800), parameter(1, kParameterUploadSpeed, 90)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 6 800", "paramAdd 5 90", "appAdd 5 steam p1 pin0 down0 up0",
                              "appAdd 3 zoom p3 pin0 down0 up0", "siteAdd 9 example.org p2 pin0 down0 up0",
                              "stringAdd 7 " + QString(260, 'w'), "stringAdd 0 eth0"}));
        f.files.apps.writeTable<AppInfo>(2, 1, {app(1, 9, "discord"), app(2, 5, "steam2"), app(1, 1, "git")});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(),
                 (QStringList{"appAdd 9 discord p4 pin0 down0 up0", "appChanged 5 steam2 p1 pin0 down0 up0",
                              "appAdd 1 git p4 pin0 down0 up0", "appRemoved 3"}));
    }

    void onlyAGreaterSequenceIsTakenOverAndTheClientKeepsPriorityAndPin()
    {
        Fixture f;
        AppRecord firefox = app(3, 4, "firefox", 2);
        firefox.payload.isPinned = 1;   // taken over when the application first appears
        f.files.apps.writeTable<AppInfo>(1, 1, {firefox});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        for (const auto& [generation, sequence] : {std::pair{2, 3}, {3, 2}, {3, 9}}) {   // same or older sequence; same generation
            f.files.apps.writeTable<AppInfo>(generation, 1, {app(sequence, 4, "not taken")});
            QCOMPARE(f.client.pull(), 0);
        }
        // The service's priority and pin are not taken over; its speeds are.
        AppRecord changed = app(4, 4, "firefox-esr", 1);
        changed.payload.downloadSpeed = 1200;
        f.files.apps.writeTable<AppInfo>(4, 1, {changed});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"appAdd 4 firefox p2 pin1 down0 up0",
                                                 "appChanged 4 firefox-esr p2 pin1 down1200 up0"}));
    }

    void aNewEpochDropsTheMirrorAndTheClientsWritesGoOn()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(7, 1, {app(1, 30, "old-b"), app(1, 10, "old-a")});
        f.files.parameters.writeTable<ParameterValue>(3, 1, {parameter(1, kParameterHeartbeat, 1)});
        QVERIFY(f.start());
        QCOMPARE(f.client.controlCenterModifyApplication(makeApp(10, "old-a", 1)), 0);   // both tables published once
        QCOMPARE(f.client.controlCenterSetParameter(kParameterDownloadLimit, 100), 0);
        f.callback.take();

        // The service starts again: new epochs, the same generations and sequences.
        f.files.apps.writeTable<AppInfo>(8, 2, {app(1, 10, "new-a"), app(1, 20, "new-c")});
        f.files.parameters.writeTable<ParameterValue>(4, 2, {parameter(1, kParameterHeartbeat, 1)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(),
                 (QStringList{"paramRemoved 2", "paramRemoved 4", "paramAdd 2 1", "appRemoved 10", "appRemoved 30",
                              "appAdd 10 new-a p4 pin0 down0 up0", "appAdd 20 new-c p4 pin0 down0 up0"}));
        // The first write after it is published, and so is the reloaded table it had published before.
        QCOMPARE(f.client.controlCenterSetParameter(kParameterDownloadLimit, 200), 0);
        const auto parameters = f.files.parameters.readTable<ParameterValue>();
        QVERIFY(parameters.size() == 2 && parameters[1].id == kParameterDownloadLimit && parameters[1].payload.value == 200);
        QCOMPARE(f.files.apps.header().generation, 9u);
    }

    void aReportMayWriteDuringThePull()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, kParameterUploadSpeed, 7), parameter(1, kParameterDownloadSpeed, 8), parameter(1, kParameterUpdateState, 0),
                                                             parameter(1, kParameterUpdateProgress, 0)});
        f.files.strings.writeTable<VlString>(1, 1, {string(1, kStringUpdateCommandHead, "install")});
        QVERIFY(f.start());
        // These reports answer once with a write, as the update window does from inside the poll.
        QMap<QString, QPair<std::uint32_t, std::uint32_t>> answers{
            {"paramChanged 10 3", {kParameterUpdateState, kUpdateDisabled}}, {"paramRemoved 5", {kParameterVendor, 1}}, {"paramRemoved 10", {kParameterDownloadLimit, 100}}};
        f.callback.hook = [&](const QString& event) {
            if (const auto answer = answers.take(event); answer.first != 0)
                QCOMPARE(f.client.controlCenterSetParameter(answer.first, answer.second), 0);
        };
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(4, kParameterUpdateState, kUpdateNewVersionDownloaded), parameter(2, kParameterUpdateProgress, 50)});
        f.files.strings.writeTable<VlString>(2, 1, {string(2, kStringUpdateCommandHead, "install --now")});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 10 3", "paramChanged 11 50", "paramRemoved 5", "paramRemoved 6",
                                                 "stringChanged 7 install --now"}));
        const auto records = f.files.parameters.readTable<ParameterValue>();   // without 5 and 6; 10 above the service's 4
        QVERIFY(records.size() == 3 && records[0].id == 9 && records[1].payload.value == kUpdateDisabled && records[1].sequence == 5);
        QCOMPARE(f.client.pull(), 0);   // nothing of its own writes read back
        QVERIFY(f.callback.events.isEmpty());
        // A new epoch: each old entry reported once, then the new table.
        f.files.parameters.writeTable<ParameterValue>(1, 2, {parameter(1, kParameterRequestedActive, 1)});
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramRemoved 9", "paramRemoved 10", "paramRemoved 11", "paramAdd 0 1"}));
        std::uint32_t value = 0;
        QVERIFY(f.client.controlCenterGetParameter(kParameterDownloadLimit, value) == 0 && value == 100);
    }

    // --- A peer that writes nonsense or shrinks its files ---

    void aCountBeyondTheFileOrAFileCutBelowItsHeaderIsReadOnlyAsFarAsItGoes()
    {
        Fixture f;
        LogCapture log;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 1, "a"), app(1, 2, "b")}, 0xFFFFFFFF);
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, kParameterUploadSpeed, 1)}, 0x7FFFFFFF);
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 5 1", "appAdd 1 a p4 pin0 down0 up0",
                                                 "appAdd 2 b p4 pin0 down0 up0"}));
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(log.count("count claims more records"), 2);   // once per bad header
        f.files.apps.writeTable<AppInfo>(2, 1, {app(2, 1, "a2"), app(1, 2, "b")}, 0xFFFFFFFF);
        QCOMPARE(f.client.pull(), 0);
        // A partial record at the end is not read.
        f.files.apps.writeTable<AppInfo>(3, 1, {app(2, 1, "a2"), app(1, 2, "b")}, 3);
        f.files.apps.truncate(16 + 2 * 1600 + 100);
        QCOMPARE(f.client.pull(), 0);
        QCOMPARE(f.callback.take(), QStringList{"appChanged 1 a2 p4 pin0 down0 up0"});
        // A file shorter than its header is skipped, said once, until a write commits it whole again.
        f.files.apps.truncate(0);
        QVERIFY(f.client.pull() == 0 && f.client.pull() == 0 && f.callback.events.isEmpty());
        QCOMPARE(log.count("shorter than its header"), 1);
        QCOMPARE(f.client.controlCenterModifyApplication(makeApp(1, "mine")), 0);
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), 2u);
    }

    void aRegionShrinkingDuringTheWalkLeavesTheTableUnchanged()
    {
        Fixture f;
        LogCapture log;
        std::vector<AppRecord> records;
        for (std::uint32_t id = 1; id <= 8; ++id)
            records.push_back(app(1, id, "app"));
        f.files.apps.writeTable<AppInfo>(1, 1, records);
        f.files.strings.writeTable<VlString>(1, 1, {string(1, kStringAdapterName, "eth0")});
        QVERIFY(f.connect());
        f.callback.hook = [&](const QString& event) {
            if (event.startsWith("appAdd 1 "))
                f.files.apps.truncate(16);   // the peer cuts the file under the walk
        };
        QCOMPARE(f.client.pull(), 0);
        f.callback.hook = nullptr;
        const QStringList events = f.callback.take();
        // Records in the first page were read, nothing removed, the tables after it pulled.
        QVERIFY2(events.size() < 9 && events.filter("appRemoved").isEmpty() && events.last() == "stringAdd 0 eth0",
                 qPrintable(events.join('|')));
        QCOMPARE(log.count("shrank under the reader"), 1);
        // Unchanged means tried again: once rewritten, all is read.
        f.files.apps.writeTable<AppInfo>(1, 1, records);
        QCOMPARE(f.client.pull(), 0);
        std::vector<std::uint32_t> ids;
        QVERIFY(f.client.listApplicationIds(ids) == 0 && ids == (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    }

    void aWriteOutranksEverySequenceTheServicePublished()
    {
        Fixture f;
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(3, kParameterUploadLimit, 100), parameter(1, kParameterHeartbeat, 1)});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        // The service moved on, and the client has not pulled since.
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(7, kParameterUploadLimit, 200), parameter(2, kParameterHeartbeat, 2)});
        QCOMPARE(f.client.controlCenterSetParameter(kParameterUploadLimit, 300), 0);
        QCOMPARE(f.client.controlCenterSetParameter(kParameterDownloadLimit, 0), 0);   // a new id
        QCOMPARE(f.client.controlCenterSetParameter(kParameterDownloadLimit, 0), 0);   // and the same value
        std::u16string text;
        QVERIFY(f.client.setString(kStringAdapterName, std::u16string(400, u'y')) == 0 && f.client.getString(kStringAdapterName, text) == 0);
        QCOMPARE(text, std::u16string(260, u'y'));   // cut to the field
        auto records = f.files.parameters.readTable<ParameterValue>();
        QVERIFY(records.size() == 3 && records[0].payload.value == 2);   // the service's heartbeat carried along
        QVERIFY(records[1].sequence == 8 && records[1].payload.value == 300 && records[2].sequence == 2);
        QCOMPARE(f.files.parameters.header().generation, 5u);
        QVERIFY(f.callback.events.contains("paramChanged 3 200") && f.callback.events.filter("active").isEmpty());
    }

    void anAddSurvivesATableTheServiceRepublishedAndNeverOverwrites()
    {
        Fixture f;
        f.files.apps.writeTable<AppInfo>(1, 1, {app(1, 1, "service's")});
        QVERIFY(f.connect());
        QCOMPARE(f.client.pull(), 0);
        f.files.apps.writeTable<AppInfo>(2, 1, {app(2, 1, "service's, later")});
        QCOMPARE(f.client.addApplication(makeApp(2, "client's")), 0);
        QCOMPARE(f.client.addApplication(makeApp(2, "ignored")), 0);
        QVERIFY(f.callback.events.filter("appRemoved").isEmpty());
        const auto apps = f.files.apps.readTable<AppInfo>();
        QCOMPARE(apps.size(), 2u);
        QCOMPARE(textFromField(apps[1].payload.name), std::u16string(u"client's"));
        QCOMPARE(apps[1].sequence, 0u);   // the change counter: the service's next change outranks it
    }

    void aFailedCommitKeepsTheChangeForTheNextPublish()
    {
        Fixture f;
        LogCapture log;
        QVERIFY(f.connect());
        QCOMPARE(f.client.controlCenterSetParameter(kParameterRequestedActive, 1), 0);
        {
            FileSizeLimit limit(4096);
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(1, "a")), 0);
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(2, "b")), 0);
            QCOMPARE(f.client.controlCenterModifyApplication(makeApp(3, "c")), -1);   // 4816 bytes
            QVERIFY(log.count("committing 4816 bytes") == 1 && log.lines.last().contains("too large"));
            QCOMPARE(f.client.controlCenterSetParameter(kParameterRequestedActive, 0), -1);   // tables after it wait
            QCOMPARE(f.files.parameters.readTable<ParameterValue>()[0].payload.value, 1u);
        }
        QCOMPARE(f.client.synchronise(), 0);
        QCOMPARE(f.files.apps.readTable<AppInfo>().size(), 3u);
        QCOMPARE(f.files.parameters.readTable<ParameterValue>()[0].payload.value, 0u);
    }

};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
