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
        for (std::uint32_t id : {9u, 99u}) {   // 99 is unknown to the mirror: dropped
            auto item = QSharedPointer<AppItem>::create(id);
            item->setType(AppItem::APP_TYPE_APPLICATION);
            item->setPriority(1);
            item->setPin(true);
            f.client.updateApp(item);
        }
        QCOMPARE(f.service.pull(), QStringList{"appChanged 9 zoom p1 pin1 down0 up0"});
        QVERIFY(f.service.link.getApplication(9, zoom) == 0 && textFromField(zoom.reservedText) == u"kept by the service");
        QCOMPARE(f.log.count(QStringLiteral("controlCenterModifyApplication id  9  priority  1  isPinned  true")), 1);
    }
};

QTEST_GUILESS_MAIN(TestLibClient)
#include "tst_libclient.moc"
