// The command center next to the demo service: the controller (and the real
// executable) register within one poll, follow the service live, and the
// user's requests reach the service's tables.

#include "linktestsupport.h"

#include "models/appcontroller.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifndef KESTRIX_SERVICE
#error "KESTRIX_SERVICE must name the kestrix-service executable"
#endif
#ifndef KESTRIX_PROGRAM
#error "KESTRIX_PROGRAM must name the kestrix executable"
#endif

using namespace linktest;

namespace {

constexpr int kWaitMs = 10000;

struct Fixture {
    Fixture()
    {
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
    }
    ~Fixture() { qunsetenv("KESTRIX_IPC_DIR"); }

    std::unique_ptr<PeerProcess> startService(QStringList arguments = {})
    {
        arguments << QStringLiteral("--demo") << QStringLiteral("--fake-adapter") << QStringLiteral("--tick-ms")
                  << QStringLiteral("200");
        auto service = std::make_unique<PeerProcess>(QStringLiteral(KESTRIX_SERVICE), dir, arguments, environment);
        if (!service->waitForLineStartingWith(QStringLiteral("kestrix-service: serving"), kWaitMs))
            return nullptr;
        return service;
    }

    ObjectDir dir;
    QTemporaryDir cache;
    QProcessEnvironment environment;
};

} // namespace

class TestDemoIntegration : public QObject {
    Q_OBJECT

private slots:
    void theControllerMirrorsTheServiceFromItsFirstPoll()
    {
        Fixture f;
        auto service = f.startService();
        QVERIFY(service);
        AppController controller;
        // Construction registered and polled once: everything is there already.
        OverviewModel* model = controller.overviewModel();
        QCOMPARE(model->rowCount(), 32);
        QCOMPARE(controller.adapterName(), QStringLiteral("kestrix-demo0"));
        QCOMPARE(controller.ip4Address(), QStringLiteral("192.0.2.10"));
        QVERIFY(controller.nicReady());
        QCOMPARE(controller.downloadSpeedLimit(), 80000u);
        QVERIFY(controller.vendorLogo().endsWith(QStringLiteral("velmora_logo.png")));
        // The heartbeat comes alive on the following ticks.
        QTRY_VERIFY_WITH_TIMEOUT(controller.serverReady(), 3000);
        QVERIFY(controller.streamControlEnabled());

        // Live: the total and the rows' speeds move.
        QSignalSpy total(&controller, &AppController::downloadSpeedChanged);
        QSignalSpy rows(model, &QAbstractItemModel::dataChanged);
        QTRY_VERIFY_WITH_TIMEOUT(total.size() >= 3, 5000);
        QVERIFY(rows.size() >= 32);
    }

    void theUsersDecisionsReachTheService()
    {
        Fixture f;
        auto service = f.startService({QStringLiteral("--offer-update"), QStringLiteral("0.5")});
        QVERIFY(service);
        AppController controller;
        OverviewModel* model = controller.overviewModel();
        QVERIFY(model->rowCount() > 0);

        // Priority and pin of the first application, as a drag would set them.
        const QModelIndex first = model->index(0);
        const uint id = model->data(first, OverviewModel::AppIdRole).toUInt();
        const QString name = model->data(first, OverviewModel::AppNameRole).toString();
        model->set(id, AppItem::APP_TYPE_APPLICATION, true, 1);
        QVERIFY(service->waitForLine(QStringLiteral("took application %1 (%2) priority 1 pinned 1").arg(id).arg(name), kWaitMs));

        emit controller.setStreamControlState(false);
        QVERIFY(service->waitForLine(QStringLiteral("took parameter 0 (requested active state) value 0"), kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(!controller.streamControlEnabled(), 3000);

        emit controller.setSpeedLimits(30000, 6000);
        QVERIFY(service->waitForLine(QStringLiteral("took parameter 3 (upload limit) value 6000"), kWaitMs));
        QVERIFY(service->lines().contains(QStringLiteral("took parameter 4 (download limit) value 30000")));

        controller.sendUpdateStateQml(LibClient::UPDATE_STATE_NO_NEW_VERSION);
        QTRY_COMPARE_WITH_TIMEOUT(controller.updateState(), LibClient::UPDATE_STATE_NEW_VERSION_DETECTED, kWaitMs);
        controller.sendUpdateStateQml(LibClient::UPDATE_STATE_NEW_VERSION_ACCEPTED);
        QVERIFY(service->waitForLine(QStringLiteral("took parameter 10 (update state) value 2"), kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(controller.updateState(), LibClient::UPDATE_STATE_NEW_VERSION_DOWNLOADED, 15000);
        QVERIFY(controller.updateExecuteCommand().contains(QStringLiteral("install-kestrix-")));
        QVERIFY(controller.progressDenominator() > 0);
        QCOMPARE(controller.progressNumeral(), controller.progressDenominator());

        // The row keeps the user's choice while the service goes on reporting.
        QTest::qWait(600);
        const QModelIndex row = model->index(0);
        QCOMPARE(model->data(row, OverviewModel::PriorityRole).toInt(), 1);
        QCOMPARE(model->data(row, OverviewModel::PinRole).toBool(), true);
    }

    void theProgramRegistersAtItsFirstAttempt()
    {
        Fixture f;
        auto service = f.startService();
        QVERIFY(service);
        QTemporaryDir work;
        QTemporaryDir runtime;
        QProcessEnvironment environment = f.environment;
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        QProcess program;
        program.setWorkingDirectory(work.path());
        QProcessEnvironment withDir = environment;
        withDir.insert(QStringLiteral("KESTRIX_IPC_DIR"), QString::fromStdString(f.dir.path()));
        program.setProcessEnvironment(withDir);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(KESTRIX_PROGRAM), {QStringLiteral("-d")});
        QVERIFY(program.waitForStarted(kWaitMs));

        const QString logs = work.path() + QStringLiteral("/logs");
        QString text;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QStringList files = QDir(logs).entryList(QDir::Files);
                if (files.size() != 1)
                    return false;
                QFile file(logs + QLatin1Char('/') + files.first());
                file.open(QIODevice::ReadOnly);
                text = QString::fromLocal8Bit(file.readAll());
                return text.contains(QStringLiteral("controlCenterActiveStateChanged requested"));
            }(),
            kWaitMs);
        program.terminate();
        program.waitForFinished(5000);
        if (program.state() != QProcess::NotRunning)
            program.kill();

        QCOMPARE(text.count(QStringLiteral("Register success")), 1);
        QCOMPARE(text.count(QStringLiteral("Register failed")), 0);
        QCOMPARE(text.count(QStringLiteral("controlCenterCallbackOnAppAdd id")), 24);
        QCOMPARE(text.count(QStringLiteral("controlCenterCallbackOnSiteAdd id")), 8);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} Debug: "),
                                   QRegularExpression::MultilineOption).match(text).hasMatch());
    }
};

QTEST_GUILESS_MAIN(TestDemoIntegration)
#include "tst_demointegration.moc"
