// ProxyObject: the 200 ms driver of LibClient and the relay of its signals.

#include "bridgetestsupport.h"

#include "bridge/proxyobject.h"
#include "bridge/proxythread.h"

#include <QSignalSpy>
#include <QtTest>

using namespace bridgetest;
using namespace linktest;

namespace {

struct Fixture {
    Fixture() : service(dir)
    {
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        thread = std::make_unique<ProxyThread>();
        proxy = thread->proxyObject();
    }
    ~Fixture() { qunsetenv("KESTRIX_IPC_DIR"); }

    ObjectDir dir;
    ScriptedService service;
    MessageCapture log;
    std::unique_ptr<ProxyThread> thread;
    ProxyObject* proxy = nullptr;
};

} // namespace

class TestProxyObject : public QObject {
    Q_OBJECT

private slots:
    void theTimerPollsAndTheSignalsAreRelayed()
    {
        Fixture f;
        QSignalSpy speed(f.proxy, &ProxyObject::newDownloadSpeed);
        QSignalSpy nic(f.proxy, &ProxyObject::newNicServiceState);
        QSignalSpy update(f.proxy, &ProxyObject::newUpdateState);
        QStringList logos;
        QObject::connect(f.proxy, &ProxyObject::newVendorLogo, [&](QString& url) { logos << url; });
        f.service.run("param 6 4321");
        f.service.run("param 7 3");
        f.service.run("param 9 0");
        f.service.run("param 10 1");
        // No direct call: the 200 ms timer does the polling.
        QTRY_COMPARE_WITH_TIMEOUT(speed.size(), 1, 3000);
        QCOMPARE(speed.last().at(0).toUInt(), 4321u);
        QCOMPARE(nic.last(), (QVariantList{false, QStringLiteral("NO LINK")}));
        QCOMPARE(update.last().at(0).value<LibClient::UpdateState>(), LibClient::UPDATE_STATE_NEW_VERSION_DETECTED);
        QCOMPARE(logos, QStringList{"qrc:/res/velmora_logo.png"});
    }

    void speedLimitsAreWrittenDownloadFirstAndEchoed()
    {
        Fixture f;
        QSignalSpy limits(f.proxy, &ProxyObject::speedLimits);
        f.proxy->setSpeedLimits(50000, 8000);
        QCOMPARE(limits.size(), 1);
        QCOMPARE(limits.last(), (QVariantList{50000u, 8000u}));
        const QStringList writes = f.log.lines().filter(QStringLiteral("controlCenterSetParameter"));
        QCOMPARE(writes.size(), 2);
        QVERIFY2(writes.at(0).contains(QStringLiteral(" 4  value  50000")), qPrintable(writes.at(0)));
        QVERIFY2(writes.at(1).contains(QStringLiteral(" 3  value  8000")), qPrintable(writes.at(1)));
        QCOMPARE(f.service.run("pull"), (QStringList{"took param 3 8000", "took param 4 50000"}));
    }

    void streamControlIsEchoedAtOnce()
    {
        Fixture f;
        QSignalSpy stream(f.proxy, &ProxyObject::streamControl);
        f.proxy->setStreamControlState(true);
        QCOMPARE(stream.size(), 1);
        QCOMPARE(stream.last().at(0).toBool(), true);
        QCOMPARE(f.service.run("pull"), QStringList{"took param 0 1"});
        f.proxy->sendUpdateState(LibClient::UPDATE_STATE_DISABLED);
        QCOMPARE(f.service.run("pull"), QStringList{"took param 10 5"});
    }

    void stopSilencesEverything()
    {
        Fixture f;
        QSignalSpy speed(f.proxy, &ProxyObject::newDownloadSpeed);
        QSignalSpy limits(f.proxy, &ProxyObject::speedLimits);
        f.proxy->stop();
        f.service.run("param 6 99");
        f.log.clear();
        QTest::qWait(700);   // three ticks would have come
        QCOMPARE(f.log.lines().filter(QStringLiteral("controlCenterCallback")).size(), 0);
        f.proxy->onTimer();   // even a direct poll no longer reaches anyone
        f.proxy->setSpeedLimits(1, 2);
        QCOMPARE(speed.size(), 0);
        QCOMPARE(limits.size(), 0);
    }

    void theServiceAbsentIsRetriedEveryTick()
    {
        ObjectDir empty;
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(empty.path()));
        MessageCapture log;
        ProxyThread thread;
        QTRY_VERIFY_WITH_TIMEOUT(log.count(QStringLiteral("Register failed")) >= 4, 3000);
        qunsetenv("KESTRIX_IPC_DIR");
    }
};

QTEST_GUILESS_MAIN(TestProxyObject)
#include "tst_proxyobject.moc"
