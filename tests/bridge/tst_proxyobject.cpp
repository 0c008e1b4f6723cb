// ProxyObject: the 200 ms driver of LibClient, the relay of its signals and
// of the controller's requests; and the controller's end, which stops it for good.

#include "bridgetestsupport.h"

#include "bridge/proxyobject.h"
#include "bridge/proxythread.h"
#include "models/appcontroller.h"

#include <QSignalSpy>

using namespace servicelink;

class TestProxyObject : public QObject {
    Q_OBJECT

private slots:
    void theTimerRetriesAnAbsentServiceThenPollsItAndRelays()
    {
        Service service(false);
        MessageCapture log;
        ProxyThread thread;
        QSignalSpy nic(thread.proxyObject(), &ProxyObject::newNicServiceState);
        QTRY_VERIFY_WITH_TIMEOUT(log.count(QStringLiteral("Register failed")) >= 3, 5000);   // every tick
        service.start();
        service.set(kParameterAdapterState, 3);
        QTRY_COMPARE_WITH_TIMEOUT(nic, QList<QVariantList>{(QVariantList{false, "NO LINK"})}, 5000);   // no direct call
        QCOMPARE(log.count(QStringLiteral("Register success")), 1);
    }

    void requestsAreWrittenAndEchoedAtOnce()
    {
        Service service;
        MessageCapture log;
        ProxyThread thread;
        ProxyObject* proxy = thread.proxyObject();
        QSignalSpy limits(proxy, &ProxyObject::speedLimits);
        QSignalSpy stream(proxy, &ProxyObject::streamControl);
        proxy->setSpeedLimits(50000, 8000);
        proxy->setStreamControlState(true);
        proxy->sendUpdateState(LibClient::UPDATE_STATE_DISABLED);
        QVERIFY(limits == QList<QVariantList>{(QVariantList{50000u, 8000u})} && stream == QList<QVariantList>{{true}});
        const QStringList writes = log.lines().filter(QStringLiteral("controlCenterSetParameter"));
        QVERIFY2(writes.size() == 4 && writes[0].contains(" 4  value  50000"), qPrintable(writes.join('|')));   // download first
        QCOMPARE(service.pull(), (QStringList{"paramAdd 0 1", "paramAdd 3 8000", "paramAdd 4 50000", "paramAdd 10 5"}));
    }

    void theControllersEndStopsTheBridge()
    {
        Service service;
        MessageCapture log;
        {
            AppController controller;
            QTRY_COMPARE(log.count(QStringLiteral("Register success")), 1);
        }
        log.clear();
        service.set(kParameterDownloadSpeed, 1);
        QTest::qWait(500);
        QCOMPARE(log.lines(), QStringList());   // no tick, no report after destruction
    }
};

QTEST_GUILESS_MAIN(TestProxyObject)
#include "tst_proxyobject.moc"
