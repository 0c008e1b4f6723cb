// LibClient against a service in the test's process: what the parameters
// and strings mean, and the writes (stream control, priority and pin).

#include "bridgetestsupport.h"

#include "bridge/libclient.h"

#include <QSignalSpy>

using namespace servicelink;

namespace {

struct Fixture {
    // The service writes, the program polls.
    template <typename Value>
    void serve(std::uint32_t id, Value value)
    {
        service.set(id, value);
        client.pollService();
    }
    Service service;
    MessageCapture log;
    LibClient client;
};

} // namespace

class TestLibClient : public QObject {
    Q_OBJECT

private slots:
    void serviceWritesBecomeSignals_data()
    {
        QTest::addColumn<QVariantList>("writes");   // ids and values; a null value removes the id
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QVariantList>("arguments");
        const auto row = [](const char* name, QVariantList writes, const char* signal, QVariantList arguments) {
            QTest::newRow(name) << writes << QByteArray(signal) << arguments;
        };
        row("download limit, upload kept", {kParameterUploadLimit, 700u, kParameterDownloadLimit, 9000u}, SIGNAL(newSpeedLimit(uint,uint)), {9000u, 700u});
        row("upload speed gone", {kParameterUploadSpeed, 123u, kParameterUploadSpeed, QVariant()}, SIGNAL(newUploadSpeed(uint)), {0u});
        row("adapter ready", {kParameterAdapterState, 0u}, SIGNAL(newNicServiceState(bool,QString)), {true, "SERVICE IS OK"});
        row("no link", {kParameterAdapterState, 3u}, SIGNAL(newNicServiceState(bool,QString)), {false, "NO LINK"});
        row("unknown state", {kParameterAdapterState, 9u}, SIGNAL(newNicServiceState(bool,QString)), {false, QString()});
        row("unknown update state", {kParameterUpdateState, 99u}, SIGNAL(newUpdateState(LibClient::UpdateState)),
            {QVariant::fromValue(LibClient::UpdateState(99))});
        row("adapter name gone", {kStringAdapterName, "eth0", kStringAdapterName, QString()}, SIGNAL(newAdapterName(QString)), {QString()});
        row("model", {kStringAdapterModel, "K-2500"}, SIGNAL(newAdapterModel(QString)), {"K-2500"});
    }

    void serviceWritesBecomeSignals()
    {
        QFETCH(QVariantList, writes);
        QFETCH(QByteArray, signal);
        QFETCH(QVariantList, arguments);
        Fixture f;
        QSignalSpy spy(&f.client, signal.constData());
        for (int i = 0; i < writes.size(); i += 2) {
            const std::uint32_t id = writes[i].toUInt();
            const QVariant& value = writes[i + 1];
            const bool text = value.type() == QVariant::String;
            if (!value.isNull())
                text ? f.serve(id, qPrintable(value.toString())) : f.serve(id, value.toUInt());
            else if ((text ? f.service.link.removeString(id) : f.service.link.removeParameter(id)) == 0)
                f.client.pollService();
        }
        QVERIFY(!spy.isEmpty());
        QCOMPARE(spy.last(), arguments);
    }

    void theVendorLogoAndTheUpdateCommand()
    {
        Fixture f;
        QStringList logos, commands;
        QObject::connect(&f.client, &LibClient::newVendorLogo, [&](QString& url) { logos << url; });
        QObject::connect(&f.client, &LibClient::newUpdateExecuteCommand, [&](QString& text) { commands << text; });
        f.serve(kParameterVendor, 12u);   // not in the table: the maker's own logo
        QVERIFY(logos == QStringList{"qrc:/res/velmora_logo.png"} && f.log.count("logo file not found << ") == 1);
        f.serve(kStringUpdateCommandHead, "/bin/sh /tmp/inst");
        f.serve(kStringUpdateCommandTail, "all.sh");
        f.serve(kStringUpdateCommandHead, "/bin/bash /tmp/inst");
        // Nothing while the second part is empty, then the join after every change.
        QCOMPARE(commands, (QStringList{"/bin/sh /tmp/install.sh", "/bin/bash /tmp/install.sh"}));
    }

    void setActivatedWritesOnlyWhatIsNeeded()
    {
        Fixture f;
        QSignalSpy connection(&f.client, &LibClient::newServerConnectionState);
        f.client.SetActivated(false);   // already off
        QVERIFY(f.service.pull().isEmpty());
        f.client.SetActivated(true);
        f.client.SetActivated(true);    // not confirmed yet: written again
        QCOMPARE(f.log.count(QStringLiteral("controlCenterSetParameter  0  value  1  returned  0")), 2);
        QCOMPARE(f.service.pull(), QStringList{"paramAdd 0 1"});
        f.client.onActiveStateChanged(1, 1, true);
        f.client.onActiveStateChanged(1, 1, true);
        f.client.SetActivated(true);    // confirmed: nothing
        QVERIFY(f.service.pull().isEmpty());
        f.client.SetActivated(false);
        f.client.SetActivated(false);   // off at once
        QCOMPARE(f.service.pull(), QStringList{"paramChanged 0 0"});
        QCOMPARE(connection, QList<QVariantList>{{true}});   // signalled on a change only
    }

    void updateAppWritesPriorityAndPinAndKeepsTheRest()
    {
        Fixture f;
        AppInfo zoom = linktest::makeApp(9, "zoom");
        textToField(zoom.reservedText, u"kept by the service");
        f.service.link.publishApplications({zoom});
        f.client.pollService();
        f.client.updateApp(appItem(9, 1, true));
        f.client.updateApp(appItem(99, 1, true));   // unknown to the mirror: dropped
        QCOMPARE(f.service.pull(), QStringList{"appChanged 9 zoom p1 pin1 down0 up0"});
        QVERIFY(f.service.link.getApplication(9, zoom) == 0 && textFromField(zoom.reservedText) == u"kept by the service");
        QCOMPARE(f.log.count(QStringLiteral("controlCenterModifyApplication id  9  priority  1  isPinned  true")), 1);
    }

    void decisionsMadeBeforeTheServiceComesAreDeliveredFirst()
    {
        Service service(false);
        LibClient client;                    // no service yet: registration fails
        client.SetActivated(true);           // as a start at logon does
        client.setDownloadLimit(100);
        client.setDownloadLimit(9000);       // only the latest value goes out
        client.writeUpdateState(LibClient::UPDATE_STATE_DISABLED);
        service.start();
        client.pollService();                // registers
        client.pollService();                // polls and delivers
        client.setDownloadLimit(5000);       // newer: after them
        QCOMPARE(service.pull(), (QStringList{"paramAdd 0 1", "paramAdd 4 5000", "paramAdd 10 5"}));
    }

    // Updates switched on while the service was away: an offer it has made
    // since stands, and the kept choice does not write over it.
    void aKeptUpdateChoiceLeavesAStandingOffer()
    {
        Service service(false);
        LibClient client;
        client.writeUpdateState(LibClient::UPDATE_STATE_NO_NEW_VERSION);
        service.start();
        service.set(kParameterUpdateState, kUpdateNewVersionDetected);
        client.pollService();
        client.pollService();
        const auto updateState = [&service] {
            service.pull();
            std::uint32_t value = 0;
            return service.link.controlCenterGetParameter(kParameterUpdateState, value) == 0 ? value : 99u;
        };
        QCOMPARE(updateState(), std::uint32_t(kUpdateNewVersionDetected));
        client.writeUpdateState(LibClient::UPDATE_STATE_NO_NEW_VERSION);   // said now, it is meant
        QCOMPARE(updateState(), std::uint32_t(kUpdateNoNewVersion));
    }

    void aServiceKeepingTheMutexFreezesNothingAndLosesNoDecision()
    {
        Fixture f;
        f.service.link.setParameters({{kParameterRequestedActive, 0}, {kParameterActualActive, 0}, {kParameterHeartbeat, 1}});
        f.service.link.publishApplications({linktest::makeApp(9, "zoom")});
        f.client.pollService();   // the service is alive
        QSignalSpy connection(&f.client, &LibClient::newServerConnectionState);
        linktest::PeerProcess holder(QStringLiteral(KESTRIX_LINKPEER), f.service.dir, {"hold-mutex", "30000"});
        QVERIFY(holder.waitForLine(QStringLiteral("held"), 10000));
        f.client.SetActivated(true);
        f.client.updateApp(appItem(9, 1, true));
        LibClient late;   // registering gives up waiting too
        for (int tick = 0; tick < 50 && connection.isEmpty(); ++tick) {
            f.client.pollService();
            QTest::qWait(200);
        }
        QVERIFY2(holder.isRunning(), "the program waited for the mutex the service keeps");
        QCOMPARE(connection, QList<QVariantList>{{false}});   // not ready after 2 s without a poll
        QVERIFY(holder.kill());
        f.service.set(kParameterHeartbeat, 2);
        f.client.pollService();   // everything resumes
        QCOMPARE(connection.last(), QVariantList{true});
        QCOMPARE(f.service.pull(), (QStringList{"paramChanged 0 1", "appChanged 9 zoom p1 pin1 down0 up0"}));
    }
};

QTEST_GUILESS_MAIN(TestLibClient)
#include "tst_libclient.moc"
