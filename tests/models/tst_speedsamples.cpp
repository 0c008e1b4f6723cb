#include "models/speedsamples.h"

#include <QtTest>

using Samples = QVector<double>;

class TestSpeedSamples : public QObject {
    Q_OBJECT

private slots:
    // Seconds fed after an idle window, and what the chart then shows.
    void window_data()
    {
        QTest::addColumn<Samples>("fed");
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<QString>("average");
        QTest::addColumn<int>("divider");
        QTest::addColumn<double>("axis");
        QTest::addColumn<Samples>("lastBars");

        const Samples idle(14, 0.0);
        QTest::newRow("idle") << Samples{} << "0.0" << "0.0" << 1 << 1.0 << Samples{0.01, 0.01};
        QTest::newRow("stream control off feeds 0") << Samples{0, 0, 0} << "0.0" << "0.0" << 1 << 1.0 << Samples{0.01, 0.01};
        // 45 / 3 plus the idle seconds' shares of 0.01.
        QTest::newRow("45 after idle") << Samples{45} << "45.0" << "15.0" << 1 << 50.0 << Samples{0.01, 45};
        QTest::newRow("newest weighs most")
            << Samples{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << "15.0" << "13.0" << 1 << 20.0 << Samples{14, 15};
        QTest::newRow("oldest weighs least") << Samples{90} + idle << "90.0" << "0.1" << 1 << 100.0 << Samples{0.01, 0.01};
        QTest::newRow("a peak counts in Gbps") << Samples{300} << "300.0" << "100.0" << 1000 << 1.0 << Samples{0.01, 0.3};
        QTest::newRow("99.9 stays Mbps") << Samples{99.9} << "99.9" << "33.3" << 1 << 100.0 << Samples{0.01, 99.9};
        QTest::newRow("Gbps from exactly 100") << Samples{99.9, 100} << "100.0" << "" << 1000 << 1.0 << Samples{0.0999, 0.1};
        QTest::newRow("peak still in on the 14th tick after") << Samples{300} + idle << "300.0" << "" << 1000 << 1.0 << Samples{0.01, 0.01};
        QTest::newRow("peak gone on the 15th tick after") << Samples{300, 0} + idle << "0.0" << "0.0" << 1 << 1.0 << Samples{0.01, 0.01};
        QTest::newRow("maximum of the window only") << Samples{12.34, 80, 7} + Samples(14, 3) << "7.0" << "" << 1 << 10.0 << Samples{3, 3};
    }

    void window()
    {
        QFETCH(Samples, fed);
        QFETCH(QString, maximum);
        QFETCH(QString, average);
        QFETCH(int, divider);
        QFETCH(double, axis);
        QFETCH(Samples, lastBars);

        SpeedSamples samples;
        QSignalSpy changed(&samples, &SpeedSamples::changed);
        for (double mbps : fed)
            samples.add(mbps);
        QCOMPARE(changed.count(), fed.size());
        QCOMPARE(samples.maxValue(), maximum);
        if (!average.isEmpty())
            QCOMPARE(samples.roundedValue(), average);
        QCOMPARE(samples.divider(), divider);
        QCOMPARE(samples.gigabits(), divider == 1000);
        QCOMPARE(samples.axisMaximum(), axis);
        const QVariantList bars = samples.bars();
        QCOMPARE(bars.size(), SpeedSamples::kCount);
        QCOMPARE(bars.at(13).toDouble(), lastBars.at(0));
        QCOMPARE(bars.at(14).toDouble(), lastBars.at(1));
    }

    // Strictly above: a value on a step goes to the next one.
    void niceAxisMaximum_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("maximum");
        const QVector<QPair<double, double>> rows{{0.37, 1}, {1, 2}, {1.5, 2}, {3.2, 5}, {5, 10}, {7, 10},
                                                   {10, 20}, {45, 50}, {50, 100}, {99, 100}, {250, 500}};
        for (const auto& [x, maximum] : rows)
            QTest::addRow("%g", x) << x << maximum;
    }

    void niceAxisMaximum()
    {
        QFETCH(double, x);
        QFETCH(double, maximum);
        QCOMPARE(SpeedSamples::niceAxisMaximum(x), maximum);
    }
};

QTEST_GUILESS_MAIN(TestSpeedSamples)
#include "tst_speedsamples.moc"
