// AppController: its properties' change rules, and the whole chain from a
// service in another process to the properties and the model and back.

#include "bridgetestsupport.h"

#include "models/appcontroller.h"

#include <QSignalSpy>
#include <QtTest>

using namespace bridgetest;
using namespace linktest;

namespace {

struct Fixture {
    Fixture() : service(dir)
    {
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        controller = std::make_unique<AppController>();
    }
    ~Fixture()
    {
        controller.reset();
        qunsetenv("KESTRIX_IPC_DIR");
    }

    ObjectDir dir;
    ScriptedService service;
    MessageCapture log;
    std::unique_ptr<AppController> controller;
};

} // namespace

class TestAppController : public QObject {
    Q_OBJECT

private slots:
    void startsWithNothingKnown()
    {
        Fixture f;
        AppController& c = *f.controller;
        QCOMPARE(c.streamControlEnabled(), false);
        QCOMPARE(c.serverReady(), false);
        QCOMPARE(c.uploadSpeedLimit(), 0u);
        QCOMPARE(c.adapterName(), QString());
        QCOMPARE(c.vendorLogo(), QString());
        QCOMPARE(c.updateState(), LibClient::UPDATE_STATE_NO_NEW_VERSION);
        QCOMPARE(c.overviewModel()->rowCount(), 0);
        // The worker thread started and asked for initialisation once.
        QTRY_VERIFY(f.log.count(QStringLiteral("Register success")) == 1);
    }

    void propertiesNotifyOnlyOnChange()
    {
        Fixture f;
        AppController& c = *f.controller;
        QSignalSpy name(&c, &AppController::adapterNameChanged);
        c.setAdapterName(QStringLiteral("eth0"));
        c.setAdapterName(QStringLiteral("eth0"));
        QCOMPARE(name.size(), 1);
        QCOMPARE(name.last().at(0).toString(), QStringLiteral("eth0"));

        QSignalSpy speed(&c, &AppController::uploadSpeedChanged);
        c.setUploadSpeed(5);
        c.setUploadSpeed(5);
        c.setUploadSpeed(6);
        QCOMPARE(speed.size(), 2);

        // The exception: stream control notifies on every write.
        QSignalSpy stream(&c, &AppController::streamControlEnabledChanged);
        c.setStreamControlEnabled(false);
        c.setStreamControlEnabled(false);
        QCOMPARE(stream.size(), 2);

        // The other exception: the update state logs every write.
        QSignalSpy state(&c, &AppController::updateStateChanged);
        QSignalSpy request(&c, &AppController::sendUpdateState);
        f.log.clear();
        c.sendUpdateStateQml(LibClient::UPDATE_STATE_NO_NEW_VERSION);
        QCOMPARE(state.size(), 0);    // unchanged
        QCOMPARE(request.size(), 1);  // but always sent
        c.sendUpdateStateQml(LibClient::UPDATE_STATE_DISABLED);
        QCOMPARE(state.size(), 1);
        QCOMPARE(request.size(), 2);
        QCOMPARE(f.log.count(QStringLiteral("Update state ")), 2);
    }

    void limitsAndAdapterStateArriveInOrder()
    {
        Fixture f;
        AppController& c = *f.controller;
        QStringList order;
        connect(&c, &AppController::downloadSpeedLimitChanged, [&](uint) { order << "download"; });
        connect(&c, &AppController::uploadSpeedLimitChanged, [&](uint) { order << "upload"; });
        connect(&c, &AppController::nicReadyChanged, [&](bool) { order << "nicReady"; });
        connect(&c, &AppController::nicStateStrChanged, [&](QString) { order << "nicState"; });

        // Both limits change: download first. Only the upload: only it.
        emit c.setSpeedLimits(40000, 9000);
        QCOMPARE(order, (QStringList{"download", "upload"}));
        emit c.setSpeedLimits(40000, 8000);
        QCOMPARE(order, (QStringList{"download", "upload", "upload"}));
        QCOMPARE(c.downloadSpeedLimit(), 40000u);

        // The service reports its adapter in trouble: ready first, then the text.
        order.clear();
        f.service.run("param 7 0");
        QTRY_VERIFY(c.nicReady());
        order.clear();
        f.service.run("param 7 3");
        QTRY_COMPARE(c.nicStateStr(), QStringLiteral("NO LINK"));
        QCOMPARE(order, (QStringList{"nicReady", "nicState"}));
    }

    void theControllerFollowsTheServiceLive()
    {
        Fixture f;
        AppController& c = *f.controller;
        f.service.run("param 0 1");
        f.service.run("param 1 1");
        f.service.run("param 2 1");
        f.service.run("string 0 eth7");
        f.service.run("string 6 Kestrix K-2500 Adapter");
        f.service.run("param 4 100000");
        f.service.run("param 6 2500");
        f.service.run("param 9 2");
        f.service.run("app 3 2 zoom");
        f.service.run("site 4 1 video.example");
        QTRY_COMPARE(c.adapterName(), QStringLiteral("eth7"));
        QTRY_VERIFY(c.serverReady());
        QCOMPARE(c.streamControlEnabled(), true);
        QCOMPARE(c.adapterModel(), QStringLiteral("Kestrix K-2500 Adapter"));
        QCOMPARE(c.downloadSpeedLimit(), 100000u);
        QCOMPARE(c.downloadSpeed(), 2500u);
        QVERIFY(c.vendorLogo().endsWith(QStringLiteral("_logo.png")));
        QCOMPARE(c.overviewModel()->rowCount(), 2);

        // Later changes follow; a vanished application leaves the model.
        f.service.run("param 6 3000");
        f.service.run("drop-app 3");
        QTRY_COMPARE(c.downloadSpeed(), 3000u);
        QTRY_COMPARE(c.overviewModel()->rowCount(), 1);
    }

    void theUsersRequestsReachTheService()
    {
        Fixture f;
        AppController& c = *f.controller;
        f.service.run("app 3 4 zoom kept");
        QTRY_COMPARE(c.overviewModel()->rowCount(), 1);

        emit c.setStreamControlState(true);
        QVERIFY(c.streamControlEnabled());   // echoed at once
        emit c.setSpeedLimits(60000, 7000);
        c.sendUpdateStateQml(LibClient::UPDATE_STATE_NEW_VERSION_ACCEPTED);
        c.overviewModel()->set(3, AppItem::APP_TYPE_APPLICATION, true, 1);
        QCOMPARE(f.service.run("pull"),
                 (QStringList{"took param 0 1", "took param 3 7000", "took param 4 60000",
                              "took param 10 2", "took app 3 priority 1 pinned 1"}));
        QCOMPARE(f.service.run("dump-app 3"), QStringList{"app 3 priority 1 pinned 1 down 0 reserved kept"});
    }

    void destructionStopsTheBridge()
    {
        ObjectDir dir;
        ScriptedService service(dir);
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        MessageCapture log;
        {
            AppController controller;
            QTRY_VERIFY(log.count(QStringLiteral("Register success")) == 1);
        }
        log.clear();
        service.run("param 6 1");
        QTest::qWait(500);
        QCOMPARE(log.lines().size(), 0);   // no tick, no callback after destruction
        qunsetenv("KESTRIX_IPC_DIR");
    }
};

QTEST_GUILESS_MAIN(TestAppController)
#include "tst_appcontroller.moc"
