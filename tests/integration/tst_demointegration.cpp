// The controller in this process beside the demo service: it mirrors the service
// from its first poll and follows it live; the user's decisions reach the service.

#include "kestrixrun.h"

#include "models/appcontroller.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <numeric>

class TestDemoIntegration : public QObject {
    Q_OBJECT

private slots:
    void theControllerBesideTheDemoService()
    {
        QTemporaryDir dir;
        const User user(dir.path(), "user");
        qputenv("KESTRIX_IPC_DIR", QFile::encodeName(user.dir("ipc")));
        Run service(user, user.dir("service"), {"--demo", "--fake-adapter", "--tick-ms", "200", "--offer-update", "2"},
                    KESTRIX_SERVICE);
        QVERIFY(service.waitFor("kestrix-service: serving"));

        // Construction registered and polled once: everything is there already.
        AppController controller;
        OverviewModel* model = controller.overviewModel();
        QCOMPARE(model->rowCount(), 32);
        QCOMPARE(controller.adapterName(), QStringLiteral("kestrix-demo0"));
        QCOMPARE(controller.downloadSpeedLimit(), 80000u);
        QVERIFY(controller.nicReady() && controller.vendorLogo().endsWith("velmora_logo.png"));
        // The heartbeat comes alive on the following ticks; the figures move.
        QTRY_VERIFY_WITH_TIMEOUT(controller.serverReady() && controller.streamControlEnabled(), 10000);
        QSignalSpy total(&controller, &AppController::downloadSpeedChanged);
        QSignalSpy rows(model, &QAbstractItemModel::dataChanged);   // a poll's rows in one range
        auto announced = [&rows] { return std::accumulate(rows.cbegin(), rows.cend(), 0, [](int sum, const QList<QVariant>& range) { return sum + range.at(1).toModelIndex().row() - range.at(0).toModelIndex().row() + 1; }); };
        QTRY_VERIFY_WITH_TIMEOUT(total.size() >= 3 && announced() >= 32, 10000);

        // Priority and pin of the first application, as a drag sets them.
        const uint id = model->data(model->index(0), OverviewModel::AppIdRole).toUInt();
        const QString name = model->data(model->index(0), OverviewModel::AppNameRole).toString();
        model->set(id, AppItem::APP_TYPE_APPLICATION, true, 1);
        QVERIFY(service.waitFor(QString("took application %1 (%2) priority 1 pinned 1\n").arg(id).arg(name).toUtf8()));
        emit controller.setStreamControlState(false);
        QVERIFY(service.waitFor("took parameter 0 (requested active state) value 0\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!controller.streamControlEnabled(), 10000);
        emit controller.setSpeedLimits(30000, 6000);
        QVERIFY(service.waitFor("took parameter 4 (download limit) value 30000\n"));
        QVERIFY(service.waitFor("took parameter 3 (upload limit) value 6000\n"));
        QTRY_COMPARE_WITH_TIMEOUT(controller.updateState(), LibClient::UPDATE_STATE_NEW_VERSION_DETECTED, kStartMs);
        controller.sendUpdateStateQml(LibClient::UPDATE_STATE_NEW_VERSION_ACCEPTED);
        QVERIFY(service.waitFor("took parameter 10 (update state) value 2\n"));

        // The row keeps the user's choice while the service goes on reporting.
        QTest::qWait(600);
        QCOMPARE(model->data(model->index(0), OverviewModel::PriorityRole).toInt(), 1);
        QCOMPARE(model->data(model->index(0), OverviewModel::PinRole).toBool(), true);
        qunsetenv("KESTRIX_IPC_DIR");
    }
};

QTEST_GUILESS_MAIN(TestDemoIntegration)
#include "tst_demointegration.moc"
