#include "models/speedunits.h"

#include <QtTest>

using Units = SpeedUnits;

class TestSpeedUnits : public QObject {
    Q_OBJECT

private slots:
    // An application's speed bar, in the list and in the grid.
    void speedBar_data()
    {
        QTest::addColumn<Units::Direction>("direction");
        QTest::addColumn<Units::View>("view");
        QTest::addColumn<double>("kbps");
        QTest::addColumn<double>("limit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("maximum");

        QTest::newRow("upload above the limit, grid") << Units::Upload << Units::GridView << 1500.0 << 1000.0 << "1.5" << 1.5 << 1.5;
        QTest::newRow("upload under the limit, grid") << Units::Upload << Units::GridView << 1300.0 << 2600.0 << "1.3" << 1.3 << 2.6;
        QTest::newRow("upload under the limit, list: whole Mbps") << Units::Upload << Units::ListView << 1500.0 << 2600.0 << "1.5" << 1.5 << 3.0;
        QTest::newRow("upload at the limit, list") << Units::Upload << Units::ListView << 2600.0 << 2600.0 << "2.6" << 2.6 << 3.0;
        QTest::newRow("list limit half up") << Units::Upload << Units::ListView << 0.0 << 2500.0 << "0.0" << 0.0 << 3.0;
        QTest::newRow("download under the limit, list") << Units::Download << Units::ListView << 1300.0 << 2600.0 << "1.3" << 1.3 << 2.6;
        QTest::newRow("download above the limit, grid") << Units::Download << Units::GridView << 9000.0 << 8000.0 << "9.0" << 9.0 << 9.0;
        QTest::newRow("download under the limit, grid") << Units::Download << Units::GridView << 4000.0 << 8050.0 << "4.0" << 4.0 << 8.1;
        // 1.45 is 1.4499... in binary: one decimal gives 1.4, as it always showed.
        QTest::newRow("binary half rounds down") << Units::Download << Units::GridView << 1450.0 << 0.0 << "1.4" << 1.4 << 1.4;
    }

    void speedBar()
    {
        QFETCH(Units::Direction, direction);
        QFETCH(Units::View, view);
        QFETCH(double, kbps);
        QFETCH(double, limit);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(double, maximum);

        const Units units;
        QCOMPARE(units.mbpsText(kbps), text);
        QCOMPARE(units.barValue(kbps), value);
        QCOMPARE(units.barMaximum(kbps, limit, direction, view), maximum);
    }

    // The settings show limits with two decimals and edit them in whole Mbps.
    void settingsLimit_data()
    {
        QTest::addColumn<double>("kbps");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("whole");

        QTest::newRow("nothing") << 0.0 << "0.00" << 0;
        QTest::newRow("two decimals") << 1234.0 << "1.23" << 1;
        QTest::newRow("half up") << 1500.0 << "1.50" << 2;
        QTest::newRow("fifty") << 50000.0 << "50.00" << 50;
    }

    void settingsLimit()
    {
        QFETCH(double, kbps);
        QFETCH(QString, text);
        QFETCH(int, whole);

        const Units units;
        QCOMPARE(units.mbpsText(kbps, 2), text);
        QCOMPARE(units.wholeMbps(kbps), whole);
        QCOMPARE(units.kbpsOfWholeMbps(whole), whole * 1000.0);
    }
};

QTEST_GUILESS_MAIN(TestSpeedUnits)
#include "tst_speedunits.moc"
