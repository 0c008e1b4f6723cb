// The pieces of the demo service: the faults its adapter discovery and its
// options once had, the sharing of a limit, and applications coming and going.

#include "adapter.h"
#include "bandwidth.h"
#include "options.h"
#include "traffic.h"

#include <QtTest>

#include <random>
#include <set>

using namespace demo;

class TestDemoParts : public QObject {
    Q_OBJECT

private slots:
    // A tunnel reports "unknown" while it carries traffic; a model too long
    // for the plate is the driver alone; a vendor id beyond 64 bits is no vendor.
    void adapterDiscovery_data()
    {
        QTest::addColumn<QString>("operstate");
        QTest::addColumn<QString>("carrier");
        QTest::addColumn<QString>("uevent");
        QTest::addColumn<uint>("state");
        QTest::addColumn<QString>("model");
        QTest::newRow("tunnel with carrier") << "unknown" << "1" << "" << uint(kNicReady) << "Virtual interface";
        QTest::newRow("long model") << "up" << "1" << "DRIVER=virtio_net\nPCI_ID=1AF4:0001\n" << uint(kNicReady) << "virtio_net";
    }

    void adapterDiscovery()
    {
        QFETCH(QString, operstate);
        QFETCH(QString, carrier);
        QFETCH(QString, uevent);
        QFETCH(uint, state);
        QFETCH(QString, model);
        QTemporaryDir root;
        const auto write = [&](const QString& path, const QString& text) {
            QDir().mkpath(QFileInfo(root.filePath(path)).path());
            QFile file(root.filePath(path));
            return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.size();
        };
        // An unreadable ARP flags field once threw out of the refresh and ended the service.
        QVERIFY(write("net/route", "Iface Destination Gateway Flags RefCnt Use Metric Mask\nkx0 00000000 010200C0 3 0 0 0 00000000\n")
                && write("net/arp", "IP address HW type Flags HW address Mask Device\n192.0.2.1 0x1 zz 02:00:5e:00:53:01 * kx0\n")
                && write("class/kx0/operstate", operstate) && write("class/kx0/carrier", carrier)
                && (uevent.isEmpty() || write("class/kx0/device/uevent", uevent)));
        const Adapter adapter = discoverAdapter({root.filePath("net").toStdString(), root.filePath("class").toStdString()});
        QCOMPARE(adapter.state, std::uint32_t(state));
        QCOMPARE(adapter.router, 1u);
        QCOMPARE(QString::fromStdString(adapter.model), model);
        QCOMPARE(vendorFromPciSubsystem("0xffffffffffffffffffff"), 1u);
    }

    // Faults the parser had: ints wrapping into "from the host", fractions
    // taken as whole numbers, getopt not reset between parses, unnamed culprits.
    void optionRefusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nic-state > INT_MAX") << QStringList{"--nic-state", "2147483648"} << "for --nic-state";
        QTest::newRow("vendor > INT_MAX") << QStringList{"--vendor", "4294967295"} << "for --vendor";
        QTest::newRow("fraction") << QStringList{"--heartbeat-ms", "50.5"} << "for --heartbeat-ms";
        QTest::newRow("value missing") << QStringList{"--seed"} << "--seed needs a value";
        QTest::newRow("unknown in a group") << QStringList{"-xh"} << "unknown option '-x'";
        QTest::newRow("unknown backend") << QStringList{"--backend", "bsd"} << "for --backend";
    }

    void optionRefusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const auto parse = [](const QStringList& arguments, Options& options, std::string& error) {
            std::vector<QByteArray> texts{"kestrix-service"};
            std::vector<char*> argv;
            for (const QString& argument : arguments)
                texts.push_back(argument.toUtf8());
            std::transform(texts.begin(), texts.end(), std::back_inserter(argv), [](QByteArray& t) { return t.data(); });
            return parseOptions(int(argv.size()), argv.data(), options, error);
        };
        Options options;
        std::string error;
        QVERIFY(!parse(arguments, options, error));
        QVERIFY2(QString::fromStdString(error).contains(message), error.c_str());
        // The next parse starts afresh: no "h" left over from "-xh".
        Options next;
        QVERIFY(parse({"--churn"}, next, error) && next.churn && !next.help);
    }

    // Nobody gets more than it wants, the sum stays within the limit and is
    // used up, and no flow gets more per unit of weight than one still short.
    void limitSharingKeepsItsRules()
    {
        std::mt19937 random(0x5EED2024u);
        int limited = 0;
        for (int round = 0; round < 3000; ++round) {
            std::vector<Demand> demands(1 + random() % 24);
            std::uint64_t total = 0;
            for (Demand& demand : demands) {
                demand.priority = 1 + random() % 4;
                const unsigned kind = random() % 10;
                demand.wanted = kind == 0 ? 0 : kind < 4 ? random() % 2001 : random() % 200001;
                total += demand.wanted;
            }
            const std::uint32_t limit = total == 0 ? 1000 : 1 + std::uint32_t(random() % (total + total / 4));
            const auto granted = shareBandwidth(demands, limit);
            const QByteArray where = "round " + QByteArray::number(round);
            QVERIFY2(granted.size() == demands.size(), where);
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < demands.size(); ++i) {
                QVERIFY2(granted[i] <= demands[i].wanted, where);
                sum += granted[i];
            }
            QVERIFY2(sum <= limit && (total > limit ? sum + demands.size() >= limit : sum == total), where);
            limited += total > limit ? 1 : 0;
            for (std::size_t i = 0; total > limit && i < demands.size(); ++i) {
                const double level = (granted[i] + 1.0) / priorityWeight(demands[i].priority);
                for (std::size_t j = 0; granted[i] < demands[i].wanted && j < demands.size(); ++j)
                    QVERIFY2(granted[j] / double(priorityWeight(demands[j].priority)) <= level + 1e-9, where);
            }
        }
        QVERIFY(limited > 1000);
    }

    // A minute of churn: pinned and system applications stay, others come and
    // go; on or off, the limits cap the totals (off once dropped them).
    void aMinuteOfChurn()
    {
        TrafficModel model(TrafficSettings{11, 24, 8, true});
        std::set<std::uint32_t> kept, seen;
        for (Flow& flow : model.flows()) {
            flow.pinned = kept.size() < 3;
            if (!flow.site && (flow.pinned || flow.processClass != 0))
                kept.insert(flow.id);
        }
        for (int i = 0; i < 60; ++i) {
            model.step();
            model.applyLimits(i % 2 == 0, 3000, 500);
            QVERIFY(model.totalDown() <= 3000 && model.totalUp() <= 500);
            std::set<std::uint32_t> apps;
            for (const Flow& flow : model.flows())
                flow.site ? void() : (apps.insert(flow.id), seen.insert(flow.id), void());
            QVERIFY(std::includes(apps.begin(), apps.end(), kept.begin(), kept.end()));
            QCOMPARE(model.flows().size() - apps.size(), std::size_t(8));
        }
        QVERIFY2(seen.size() > 34, qPrintable(QString::number(seen.size())));
    }
};

QTEST_GUILESS_MAIN(TestDemoParts)
#include "tst_demoparts.moc"
