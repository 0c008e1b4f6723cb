// LibClient against a service in a process of its own: what every
// parameter and string means, the vendor logo, the update command, and the
// writes (stream control, priority and pin).

#include "bridgetestsupport.h"

#include "bridge/libclient.h"

#include <QSignalSpy>
#include <QtTest>

using namespace bridgetest;
using namespace linktest;

namespace {

struct Fixture {
    Fixture() : service(dir)
    {
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        client = std::make_unique<LibClient>();
    }
    ~Fixture() { qunsetenv("KESTRIX_IPC_DIR"); }

    // Lets the client take over what the service just wrote.
    void poll() { client->pollService(); }

    ObjectDir dir;
    ScriptedService service;
    MessageCapture log;
    std::unique_ptr<LibClient> client;
};

} // namespace

class TestLibClient : public QObject {
    Q_OBJECT

private slots:
    void registersWhenTheServiceIsThere()
    {
        ObjectDir empty;
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(empty.path()));
        MessageCapture log;
        LibClient absent;
        QSignalSpy states(&absent, &LibClient::newState);
        absent.pollService();
        absent.pollService();
        QCOMPARE(log.count(QStringLiteral("Register failed")), 3);   // constructor, two ticks
        QCOMPARE(states.size(), 2);
        QCOMPARE(states.last().at(0).value<LibClient::ServerState>(), LibClient::SERVER_STATE_REGISTER_FAILED);

        Fixture f;
        QVERIFY(f.service.isReady());
        QCOMPARE(f.log.count(QStringLiteral("Register success")), 1);
        f.poll();
        f.poll();
        QCOMPARE(f.log.count(QStringLiteral("Register")), 1);   // registered once, then polled
    }

    void speedLimitsAndSpeeds()
    {
        Fixture f;
        QSignalSpy limits(f.client.get(), &LibClient::newSpeedLimit);
        QSignalSpy upload(f.client.get(), &LibClient::newUploadSpeed);
        QSignalSpy download(f.client.get(), &LibClient::newDownloadSpeed);
        f.service.run("param 3 700");
        f.poll();
        f.service.run("param 4 9000");
        f.poll();
        QCOMPARE(limits.size(), 2);
        QCOMPARE(limits.at(0), (QVariantList{0u, 700u}));
        QCOMPARE(limits.at(1), (QVariantList{9000u, 700u}));

        f.service.run("param 5 123");
        f.service.run("param 6 456");
        f.poll();
        QCOMPARE(upload.last().at(0).toUInt(), 123u);
        QCOMPARE(download.last().at(0).toUInt(), 456u);
        // A parameter that goes away reads as 0.
        f.service.run("drop-param 5");
        f.poll();
        QCOMPARE(upload.last().at(0).toUInt(), 0u);
        QVERIFY(f.log.count(QStringLiteral("controlCenterCallbackOnParameterRemoved id  5")) == 1);
    }

    void adapterStateRouterAndVendor()
    {
        Fixture f;
        QSignalSpy nic(f.client.get(), &LibClient::newNicServiceState);
        QSignalSpy router(f.client.get(), &LibClient::newRouterState);
        // Signals with reference arguments are watched through a lambda.
        QStringList logos;
        QObject::connect(f.client.get(), &LibClient::newVendorLogo, [&](QString& url) { logos << url; });

        f.service.run("param 7 0");
        f.poll();
        QCOMPARE(nic.last(), (QVariantList{true, QStringLiteral("SERVICE IS OK")}));
        f.service.run("param 7 3");
        f.poll();
        QCOMPARE(nic.last(), (QVariantList{false, QStringLiteral("NO LINK")}));
        f.service.run("param 7 9");
        f.poll();
        QCOMPARE(nic.last(), (QVariantList{false, QString()}));
        QCOMPARE(f.log.count(QStringLiteral("getNicStateString unhandled value")), 1);

        f.service.run("param 8 0");
        f.poll();
        QCOMPARE(router.last().at(0).toBool(), true);
        f.service.run("param 8 2");
        f.poll();
        QCOMPARE(router.last().at(0).toBool(), false);

        const bool haveImages = QFile::exists(QStringLiteral(":/res/asus_logo.png"));
        f.service.run("param 9 2");
        f.poll();
        QCOMPARE(logos.last(), haveImages ? QStringLiteral("qrc:/res/asus_logo.png")
                                          : QStringLiteral("qrc:/res/velmora_logo.png"));
        f.log.clear();
        f.service.run("param 9 12");
        f.poll();
        QCOMPARE(logos.last(), QStringLiteral("qrc:/res/velmora_logo.png"));
        QCOMPARE(f.log.count(QStringLiteral("logo file not found << ")), 1);
        f.service.run("param 9 0");
        f.poll();
        QCOMPARE(logos.last(), QStringLiteral("qrc:/res/velmora_logo.png"));
        QCOMPARE(logos.size(), 3);
    }

    void adapterStrings()
    {
        Fixture f;
        QSignalSpy name(f.client.get(), &LibClient::newAdapterName);
        QSignalSpy ip4(f.client.get(), &LibClient::newIp4Address);
        QSignalSpy model(f.client.get(), &LibClient::newAdapterModel);
        QSignalSpy mask(f.client.get(), &LibClient::newNetMask);
        f.service.run("string 0 eth0");
        f.service.run("string 1 192.0.2.7");
        f.service.run("string 5 255.255.255.0");
        f.service.run("string 6 Kestrix K-2500");
        f.poll();
        QCOMPARE(name.last().at(0).toString(), QStringLiteral("eth0"));
        QCOMPARE(ip4.last().at(0).toString(), QStringLiteral("192.0.2.7"));
        QCOMPARE(mask.last().at(0).toString(), QStringLiteral("255.255.255.0"));
        QCOMPARE(model.last().at(0).toString(), QStringLiteral("Kestrix K-2500"));
        f.service.run("drop-string 0");
        f.poll();
        QCOMPARE(name.last().at(0).toString(), QString());
    }

    void theUpdateCommandIsJoinedFromItsTwoParts()
    {
        Fixture f;
        QStringList command;
        QObject::connect(f.client.get(), &LibClient::newUpdateExecuteCommand,
                         [&](QString& text) { command << text; });
        QSignalSpy state(f.client.get(), &LibClient::newUpdateState);
        f.service.run("string 7 /bin/sh /tmp/inst");
        f.poll();
        QCOMPARE(command.size(), 0);   // the second part is still empty
        f.service.run("string 8 all.sh --quiet");
        f.poll();
        QCOMPARE(command.size(), 1);
        QCOMPARE(command.last(), QStringLiteral("/bin/sh /tmp/install.sh --quiet"));
        f.service.run("string 7 /bin/bash /tmp/inst");
        f.poll();
        QCOMPARE(command.last(), QStringLiteral("/bin/bash /tmp/install.sh --quiet"));
        QCOMPARE(command.size(), 2);

        f.service.run("param 10 3");
        f.poll();
        QCOMPARE(state.last().at(0).value<LibClient::UpdateState>(),
                 LibClient::UPDATE_STATE_NEW_VERSION_DOWNLOADED);
    }

    void activeStateReports()
    {
        Fixture f;
        QSignalSpy connection(f.client.get(), &LibClient::newServerConnectionState);
        QSignalSpy stream(f.client.get(), &LibClient::sendStateChanged);
        f.client->onActiveStateChanged(0, 1, true);
        QCOMPARE(connection.size(), 1);
        QCOMPARE(connection.last().at(0).toBool(), true);
        QCOMPARE(stream.last().at(0).toBool(), true);
        f.client->onActiveStateChanged(1, 1, true);   // nothing new: no connection signal
        QCOMPARE(connection.size(), 1);
        QCOMPARE(stream.size(), 2);
        f.client->onActiveStateChanged(1, 1, false);
        QCOMPARE(connection.size(), 2);
        QCOMPARE(connection.last().at(0).toBool(), false);
        QCOMPARE(stream.last().at(0).toBool(), false);   // no heartbeat: not active
        QCOMPARE(f.log.count(QStringLiteral("controlCenterActiveStateChanged requested")), 3);
    }

    void setActivatedWritesOnlyWhatIsNeeded()
    {
        Fixture f;
        f.service.run("param 0 0");
        f.poll();
        f.client->SetActivated(false);   // already off
        QVERIFY(f.service.run("pull").isEmpty());

        // On twice before the service confirms: written twice.
        f.client->SetActivated(true);
        f.client->SetActivated(true);
        QCOMPARE(f.service.run("pull"), QStringList{"took param 0 1"});
        QCOMPARE(f.log.count(QStringLiteral("controlCenterSetParameter  0  value  1  returned  0")), 2);

        // Confirmed by heartbeat and parameter 1: a third on writes nothing.
        f.client->onActiveStateChanged(1, 1, true);
        f.client->SetActivated(true);
        QVERIFY(f.service.run("pull").isEmpty());
        // Off is written at once and takes effect at once.
        f.client->SetActivated(false);
        QCOMPARE(f.service.run("pull"), QStringList{"took param 0 0"});
        f.client->SetActivated(false);
        QVERIFY(f.service.run("pull").isEmpty());
    }

    void applicationsAndSitesBecomeItems()
    {
        Fixture f;
        QList<QSharedPointer<AppItem>> added;
        QList<QSharedPointer<AppItem>> changed;
        QObject::connect(f.client.get(), &LibClient::appAdded,
                         [&](QSharedPointer<AppItem>& item) { added << item; });
        QObject::connect(f.client.get(), &LibClient::appChanged,
                         [&](QSharedPointer<AppItem>& item) { changed << item; });
        QSignalSpy removed(f.client.get(), &LibClient::appRemoved);
        f.service.run("app 7 2 steam.exe");
        f.service.run("site 7 3 example.org");
        f.poll();
        QCOMPARE(added.size(), 2);
        const auto app = added.at(0);
        const auto site = added.at(1);
        QCOMPARE(app->type(), AppItem::APP_TYPE_APPLICATION);
        QCOMPARE(app->name(), QStringLiteral("steam.exe"));
        QCOMPARE(app->priority(), 2);
        QCOMPARE(app->iconPath(), AppItem::kDefaultIcon);   // no icon file
        QCOMPARE(site->type(), AppItem::APP_TYPE_SITE);
        QCOMPARE(site->id(), 7u);

        f.service.run("speed 7 5000");
        f.poll();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.last()->downloadSpeed(), 5000u);

        f.service.run("drop-app 7");
        f.poll();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.last().at(0).toUInt(), 7u);
        QCOMPARE(removed.last().at(1).value<AppItem::AppType>(), AppItem::APP_TYPE_APPLICATION);
    }

    void updateAppWritesPriorityAndPinAndKeepsTheRest()
    {
        Fixture f;
        f.service.run("app 9 4 zoom kept by the service");
        f.poll();
        auto item = QSharedPointer<AppItem>::create(9);
        item->setType(AppItem::APP_TYPE_APPLICATION);
        item->setPriority(1);
        item->setPin(true);
        f.client->updateApp(item);
        QCOMPARE(f.service.run("pull"), QStringList{"took app 9 priority 1 pinned 1"});
        QCOMPARE(f.service.run("dump-app 9"),
                 QStringList{"app 9 priority 1 pinned 1 down 0 reserved kept by the service"});
        QCOMPARE(f.log.count(QStringLiteral("controlCenterModifyApplication id  9  priority  1  isPinned  true")), 1);

        // Unknown to the mirror: dropped after the first log line.
        f.log.clear();
        auto unknown = QSharedPointer<AppItem>::create(99);
        unknown->setType(AppItem::APP_TYPE_APPLICATION);
        f.client->updateApp(unknown);
        QCOMPARE(f.log.lines().size(), 1);
        QVERIFY(f.log.lines().first().startsWith(QStringLiteral("Update app id")));
        QVERIFY(f.service.run("pull").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLibClient)
#include "tst_libclient.moc"
