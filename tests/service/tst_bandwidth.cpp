// shareBandwidth hands a speed limit out by priority: nobody gets more than
// it wants, the sum stays within the limit, and what a small demand leaves
// unused goes to the others (weighted water-filling).

#include "bandwidth.h"

#include <QtTest>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

using demo::Demand;
using demo::shareBandwidth;

namespace {

std::uint64_t sumOf(const std::vector<std::uint32_t>& values)
{
    return std::accumulate(values.begin(), values.end(), std::uint64_t(0));
}

std::uint64_t wantedSum(const std::vector<Demand>& demands)
{
    std::uint64_t sum = 0;
    for (const Demand& demand : demands)
        sum += demand.wanted;
    return sum;
}

// The weight each level counts with: 1 critical = 8 .. 4 low = 1.
double weightOf(std::uint32_t priority)
{
    return double(1u << (4 - priority));
}

} // namespace

class TestBandwidth : public QObject {
    Q_OBJECT

private slots:
    void withoutLimitEveryoneGetsWhatItWants()
    {
        const std::vector<Demand> demands = {{1, 50000}, {4, 120000}, {2, 0}, {3, 7}};
        const std::vector<std::uint32_t> expected = {50000, 120000, 0, 7};
        QCOMPARE(shareBandwidth(demands, 0), expected);
    }

    void enoughBandwidthGivesEveryoneWhatItWants()
    {
        const std::vector<Demand> demands = {{4, 3000}, {1, 1000}, {2, 6000}};
        const std::vector<std::uint32_t> expected = {3000, 1000, 6000};
        // Exactly enough, and more than enough.
        QCOMPARE(shareBandwidth(demands, 10000), expected);
        QCOMPARE(shareBandwidth(demands, 10001), expected);
        QCOMPARE(shareBandwidth(demands, 0xFFFFFFFFu), expected);
    }

    void emptyInputGivesEmptyResult()
    {
        QVERIFY(shareBandwidth({}, 0).empty());
        QVERIFY(shareBandwidth({}, 1000).empty());
    }

    void zeroDemandsGetZero()
    {
        const std::vector<Demand> demands = {{1, 0}, {4, 90000}, {2, 0}, {3, 40000}};
        const auto granted = shareBandwidth(demands, 10000);
        QCOMPARE(granted.size(), demands.size());
        QCOMPARE(granted[0], 0u);
        QCOMPARE(granted[2], 0u);
        // The idle critical flow's weight is not held back for it.
        QVERIFY(granted[1] + granted[3] >= 10000 - 2);

        const std::vector<Demand> idle = {{1, 0}, {2, 0}};
        QCOMPARE(shareBandwidth(idle, 500), (std::vector<std::uint32_t>{0, 0}));
    }

    void higherPriorityGetsMoreWhenAllWantALot()
    {
        const std::vector<Demand> demands = {{4, 1000000}, {3, 1000000}, {2, 1000000}, {1, 1000000}};
        const auto granted = shareBandwidth(demands, 15000);
        QCOMPARE(granted.size(), std::size_t(4));
        // Weights 8/4/2/1 of 15 parts.
        QVERIFY2(qAbs(qint64(granted[3]) - 8000) <= 1, qPrintable(QString::number(granted[3])));
        QVERIFY2(qAbs(qint64(granted[2]) - 4000) <= 1, qPrintable(QString::number(granted[2])));
        QVERIFY2(qAbs(qint64(granted[1]) - 2000) <= 1, qPrintable(QString::number(granted[1])));
        QVERIFY2(qAbs(qint64(granted[0]) - 1000) <= 1, qPrintable(QString::number(granted[0])));
        QVERIFY(granted[3] > granted[2] && granted[2] > granted[1] && granted[1] > granted[0]);
    }

    void equalPrioritiesShareEqually()
    {
        const std::vector<Demand> demands = {{3, 90000}, {3, 90000}, {3, 90000}};
        const auto granted = shareBandwidth(demands, 9000);
        QCOMPARE(granted, (std::vector<std::uint32_t>{3000, 3000, 3000}));
    }

    void smallLowPriorityDemandIsMetAndTheRestShared()
    {
        // The low flow's share (10000 / 13) is more than it wants: it gets
        // all of its 50 and the others split the remaining 9950 by 2:1.
        const std::vector<Demand> demands = {{1, 100000}, {2, 100000}, {4, 50}};
        const std::uint32_t limit = 10000;
        const auto granted = shareBandwidth(demands, limit);
        QCOMPARE(granted[2], 50u);
        QVERIFY2(qAbs(qint64(granted[0]) - 6633) <= 1, qPrintable(QString::number(granted[0])));
        QVERIFY2(qAbs(qint64(granted[1]) - 3316) <= 1, qPrintable(QString::number(granted[1])));
        QVERIFY(sumOf(granted) <= limit);
        QVERIFY(sumOf(granted) >= limit - demands.size());
    }

    void unusedShareCascadesOverSeveralRounds()
    {
        // First round: the low flow takes 200 of its 692 share; the high
        // flow's 2769 share is short of its 2900. Second round: with the
        // 200 gone, its share is 2933 and it is met. The critical flow
        // takes all that is left.
        const std::vector<Demand> demands = {{1, 100000}, {2, 2900}, {4, 200}};
        const auto granted = shareBandwidth(demands, 9000);
        QCOMPARE(granted, (std::vector<std::uint32_t>{5900, 2900, 200}));
    }

    void randomCasesKeepTheRules()
    {
        std::mt19937 random(0x5EED2024u);
        std::uniform_int_distribution<int> count(1, 24);
        std::uniform_int_distribution<std::uint32_t> priority(1, 4);
        std::uniform_int_distribution<std::uint32_t> small(0, 2000);
        std::uniform_int_distribution<std::uint32_t> large(0, 200000);
        std::uniform_int_distribution<int> kind(0, 9);
        int limitedCases = 0;
        for (int round = 0; round < 3000; ++round) {
            std::vector<Demand> demands(static_cast<std::size_t>(count(random)));
            for (Demand& demand : demands) {
                demand.priority = priority(random);
                const int k = kind(random);
                demand.wanted = k == 0 ? 0 : k < 4 ? small(random) : large(random);
            }
            const std::uint64_t total = wantedSum(demands);
            const std::uint32_t limit = total == 0
                    ? 1000
                    : std::uniform_int_distribution<std::uint32_t>(
                              1, static_cast<std::uint32_t>(total + total / 4))(random);
            const auto granted = shareBandwidth(demands, limit);
            const QByteArray where = "round " + QByteArray::number(round);

            QVERIFY2(granted.size() == demands.size(), where);
            for (std::size_t i = 0; i < demands.size(); ++i)
                QVERIFY2(granted[i] <= demands[i].wanted, where);
            const std::uint64_t sum = sumOf(granted);
            QVERIFY2(sum <= limit, where);
            if (total <= limit) {
                QVERIFY2(sum == total, where);   // enough for everyone
                continue;
            }
            ++limitedCases;
            // The limit is used up, give or take rounding down per flow.
            QVERIFY2(sum + demands.size() >= limit, where);
            // Nobody gets more per unit of weight than a flow that is
            // still short of what it wants.
            for (std::size_t i = 0; i < demands.size(); ++i) {
                if (granted[i] >= demands[i].wanted)
                    continue;
                const double level = (granted[i] + 1.0) / weightOf(demands[i].priority);
                for (std::size_t j = 0; j < demands.size(); ++j) {
                    const double other = granted[j] / weightOf(demands[j].priority);
                    QVERIFY2(other <= level + 1e-9,
                             where + " flows " + QByteArray::number(int(i)) + "/"
                                     + QByteArray::number(int(j)));
                }
            }
        }
        // The random limits must actually have exercised the sharing.
        QVERIFY(limitedCases > 1000);
    }
};

QTEST_GUILESS_MAIN(TestBandwidth)
#include "tst_bandwidth.moc"
