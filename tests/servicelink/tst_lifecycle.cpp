// Registration, unregistration and the heartbeat supervision of the link,
// against region files that the test writes byte by byte as the service.

#include "linktestsupport.h"

#include <QtTest>

using namespace servicelink;
using namespace linktest;

namespace {

// A client on a private object directory with a hand-stepped tick.
struct Fixture {
    Fixture() : files(dir)
    {
        client.setObjectDirectory(dir.path());
        client.setTickSource(&ManualTick::read, &tick);
    }

    // Writes the parameter table: 0, 1 and the heartbeat 2.
    void publishParameters(std::uint64_t generation, std::uint32_t heartbeat,
                           std::uint64_t heartbeatSequence, std::uint32_t actual = 0,
                           std::uint64_t actualSequence = 1)
    {
        files.parameters.writeTable<ParameterValue>(
            generation, 1,
            {parameter(1, 0, 0), parameter(actualSequence, 1, actual),
             parameter(heartbeatSequence, 2, heartbeat)});
    }

    ObjectDir dir;
    ServiceFiles files;
    ManualTick tick;
    RecordingCallback callback;
    Client client;
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void registrationFailsWhileTheServiceIsAbsentAndSucceedsOnceItIsThere()
    {
        Fixture f;
        LogCapture log;
        QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QVERIFY(!f.client.isConnected());
        // Retried every 200 ms by the program: the reason is logged once.
        QCOMPARE(log.count("registration failed"), 1);
        QVERIFY(log.lines.first().contains("No such file"));

        // Three of four regions are not enough.
        f.files.apps.create();
        f.files.sites.create();
        f.files.parameters.create();
        QCOMPARE(f.client.vlcommRegister(&f.callback), -1);
        QVERIFY(!f.client.isConnected());

        f.files.strings.create();
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QVERIFY(f.client.isConnected());
        QVERIFY(!f.client.isAlive());
        // The client created the mutex and events it did not find, never a region.
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kLinkMutexName))));
        QVERIFY(QFile::exists(QString::fromStdString(f.dir.pathOf(kClientEventName))));
        QCOMPARE(f.client.poll(), -1);   // connected, but no heartbeat parameter yet
    }

    void everyOperationFailsWhileNotConnected()
    {
        Fixture f;
        std::uint32_t value = 0;
        AppInfo app{};
        SiteInfo site{};
        std::u16string text;
        QCOMPARE(f.client.vlcommUnregister(), 0);   // never registered
        QCOMPARE(f.client.poll(), -1);
        QCOMPARE(f.client.pull(), -1);
        QCOMPARE(f.client.publish(), -1);
        QCOMPARE(f.client.synchronise(), -1);
        QCOMPARE(f.client.controlCenterGetParameter(0, value), -1);
        QCOMPARE(f.client.controlCenterSetParameter(0, 1), -1);
        QCOMPARE(f.client.getApplication(1, app), -1);
        QCOMPARE(f.client.controlCenterModifyApplication(makeApp(1, "a")), -1);
        QCOMPARE(f.client.getSite(1, site), -1);
        QCOMPARE(f.client.controlCenterModifySite(makeSite(1, "s")), -1);
        QCOMPARE(f.client.getString(0, text), -1);
        QCOMPARE(f.client.setString(0, u"x"), -1);
        QCOMPARE(f.client.addApplication(makeApp(1, "a")), -1);
        QCOMPARE(f.client.addSite(makeSite(1, "s")), -1);
        QCOMPARE(f.client.removeApplication(1), -1);
        QCOMPARE(f.client.removeSite(1), -1);
        std::vector<std::uint32_t> ids{99};
        QCOMPARE(f.client.listApplicationIds(ids), 0);
        QCOMPARE(f.client.listSiteIds(ids), 0);
        QCOMPARE(ids, std::vector<std::uint32_t>{99});
        QVERIFY(f.callback.events.isEmpty());
    }

    void reRegistrationKeepsTheMirrorsAndRescansOnlyWhatChanged()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 0, 1);
        f.files.apps.writeTable<AppInfo>(4, 1, {app(3, 7, "firefox"), app(1, 8, "git")});
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take().size(), 5);

        // Unregistered, the mirrors stay readable only after registering again.
        QCOMPARE(f.client.vlcommUnregister(), 0);
        QCOMPARE(f.client.vlcommUnregister(), 0);
        AppInfo info{};
        QCOMPARE(f.client.getApplication(7, info), -1);

        f.files.apps.writeTable<AppInfo>(5, 1, {app(3, 7, "firefox"), app(2, 8, "git2")});
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        // Kept from the earlier registration, before any poll.
        QCOMPARE(f.client.getApplication(7, info), 0);
        QCOMPARE(textFromField(info.name), std::u16string(u"firefox"));
        // Registering twice in a row is the same as once.
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);

        QCOMPARE(f.client.poll(), 0);
        // Only the entry whose sequence grew is reported.
        QCOMPARE(f.callback.take(), QStringList{"appChanged 8 git2 p4 pin0 down0 up0"});
    }

    void heartbeatComesAliveOnTheFirstChange()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 0, 1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);

        // A heartbeat that still reads 0 after registration counts as unchanged,
        // and 0 and 1 appearing is only an add.
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(),
                 (QStringList{"paramAdd 0 0", "paramAdd 1 0", "paramAdd 2 0"}));
        QVERIFY(!f.client.isAlive());

        f.publishParameters(2, 17, 2);
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 2 17", "active 0 0 1"}));
        QVERIFY(f.client.isAlive());
    }

    void heartbeatIsLostOnTheTenthStillPollAfterAtLeast100ms()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 5, 1, 1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), 0);   // the change poll: alive
        f.callback.take();
        QVERIFY(f.client.isAlive());

        // The change poll counts as the first of ten; eight more stay quiet.
        for (int i = 0; i < 8; ++i) {
            f.tick.now += 200;
            QCOMPARE(f.client.poll(), 0);
        }
        QVERIFY(f.callback.events.isEmpty());
        f.tick.now += 200;
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(), QStringList{"active 0 1 0"});
        QVERIFY(!f.client.isAlive());

        // Loss is reported once.
        for (int i = 0; i < 20; ++i) {
            f.tick.now += 200;
            QCOMPARE(f.client.poll(), 0);
        }
        QVERIFY(f.callback.events.isEmpty());

        // The next change of the heartbeat brings it back.
        f.publishParameters(2, 6, 2, 1);
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 2 6", "active 0 1 1"}));
    }

    void aMovingHeartbeatIsNeverLost()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 1, 1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        for (std::uint32_t beat = 1; beat < 60; ++beat) {
            f.publishParameters(beat, beat, beat);
            f.tick.now += 1000;
            QCOMPARE(f.client.poll(), 0);
        }
        QVERIFY(f.client.isAlive());
        QCOMPARE(f.callback.events.filter("active").size(), 1);
    }

    void fastPollsWaitFor100ms()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 5, 1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), 0);
        f.callback.take();

        // Polls 5 ms apart: the tenth comes after 45 ms, too early.
        int polls = 0;
        while (f.client.isAlive() && polls < 100) {
            f.tick.now += 5;
            QCOMPARE(f.client.poll(), 0);
            ++polls;
        }
        QCOMPARE(polls, 20);   // first poll with 100 ms elapsed
        QCOMPARE(f.callback.take(), QStringList{"active 0 0 0"});
    }

    void elapsedTimeIsRightAcrossTheTickWrap()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 5, 1);
        f.tick.now = 0xFFFFFFC0u;   // 64 ms before the wrap
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), 0);
        f.callback.take();

        for (int i = 0; i < 9; ++i) {
            f.tick.now += 10;   // wraps after the seventh step
            QCOMPARE(f.client.poll(), 0);
        }
        QVERIFY2(f.client.isAlive(), "90 ms across the wrap is not 100 ms");
        f.tick.now += 10;
        QCOMPARE(f.client.poll(), 0);
        QVERIFY(!f.client.isAlive());
        QCOMPARE(f.callback.take(), QStringList{"active 0 0 0"});
    }

    void missingHeartbeatFailsEveryPoll()
    {
        Fixture f;
        f.files.createAll();
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 0, 1), parameter(1, 1, 1)});
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        for (int i = 0; i < 15; ++i) {
            f.tick.now += 200;
            QCOMPARE(f.client.poll(), -1);
        }
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 0 1", "paramAdd 1 1"}));

        // A change of 0 or 1 is still reported from the pull.
        f.files.parameters.writeTable<ParameterValue>(2, 1, {parameter(1, 0, 1), parameter(2, 1, 0)});
        QCOMPARE(f.client.poll(), -1);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 1 0", "active 1 0 0"}));
    }

    void heartbeatWithoutActiveStateIsRetriedUntilItIsThere()
    {
        Fixture f;
        f.files.createAll();
        f.files.parameters.writeTable<ParameterValue>(1, 1, {parameter(1, 2, 9)});
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), -1);
        QCOMPARE(f.client.poll(), -1);   // nothing was stored: tried again
        QVERIFY(!f.client.isAlive());
        f.callback.take();

        f.files.parameters.writeTable<ParameterValue>(
            2, 1, {parameter(1, 2, 9), parameter(1, 0, 1), parameter(1, 1, 1)});
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramAdd 0 1", "paramAdd 1 1", "active 1 1 1"}));
        QVERIFY(f.client.isAlive());
    }

    void activeStateChangeIsReportedAfterThePull()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 5, 1, 0, 1);
        QCOMPARE(f.client.vlcommRegister(&f.callback), 0);
        QCOMPARE(f.client.poll(), 0);
        f.callback.take();

        f.publishParameters(2, 5, 1, 1, 2);   // the service switched on
        QCOMPARE(f.client.poll(), 0);
        QCOMPARE(f.callback.take(), (QStringList{"paramChanged 1 1", "active 0 1 1"}));
    }

    void theClientWakesTheServiceAndTheServiceWakesTheClient()
    {
        Fixture f;
        f.files.createAll();
        f.publishParameters(1, 5, 1);
        std::string why;
        auto clientEvent = platform::NamedEvent::openOrCreate(f.dir.pathOf(kClientEventName), why);
        auto serviceEvent = platform::NamedEvent::openOrCreate(f.dir.pathOf(kServiceEventName), why);
        QVERIFY(clientEvent.isValid() && serviceEvent.isValid());

        platform::NamedEvent* handedOver = nullptr;
        QCOMPARE(f.client.vlcommRegister(&f.callback, &handedOver), 0);
        QVERIFY(handedOver != nullptr);
        QVERIFY(handedOver->set());
        QCOMPARE(serviceEvent.wait(1000), platform::NamedEvent::WaitResult::Signalled);

        QCOMPARE(f.client.controlCenterSetParameter(0, 1), 0);
        QCOMPARE(clientEvent.wait(1000), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(serviceEvent.wait(0), platform::NamedEvent::WaitResult::TimedOut);

        ServiceLink service;
        service.setObjectDirectory(f.dir.path());
        QCOMPARE(service.vlcommRegister(nullptr), 0);
        QCOMPARE(service.controlCenterSetParameter(1, 1), 0);
        QCOMPARE(serviceEvent.wait(1000), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(clientEvent.wait(0), platform::NamedEvent::WaitResult::TimedOut);
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
