// Finding the adapter to report: the parsers of /proc/net/route and
// /proc/net/arp, the board vendor table, and discoverAdapter run against a
// fake /proc/net and /sys/class/net built in a temporary folder.

#include "adapter.h"

#include <QtTest>

#include <exception>
#include <string>

using namespace demo;

namespace {

const char kRouteTitles[] =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char kArpTitles[] =
        "IP address       HW type     Flags       HW address            Mask     Device\n";

// A /proc/net/route line. Addresses are given as the kernel prints them:
// the network-order bytes read as a host-order (little-endian) number.
std::string routeLine(const std::string& iface, const std::string& destination,
                      const std::string& gateway, const std::string& mask,
                      const std::string& flags = "0003", const std::string& metric = "100")
{
    return iface + "\t" + destination + "\t" + gateway + "\t" + flags + "\t0\t0\t" + metric + "\t"
           + mask + "\t0\t0\t0\n";
}

std::string arpLine(const std::string& ip, const std::string& flags, const std::string& device)
{
    return ip + "        0x1         " + flags + "         02:00:5e:00:53:01     *        " + device
           + "\n";
}

// 192.0.2.1 as /proc/net/route prints it.
const char kGatewayHex[] = "010200C0";
const char kGateway[] = "192.0.2.1";

// A fake host: proc/net and sys/class/net under a temporary folder.
class FakeHost {
public:
    FakeHost()
    {
        QDir root(m_dir.path());
        root.mkpath("proc/net");
        root.mkpath("sys/class/net");
        m_paths.procNet = QDir(m_dir.path()).filePath("proc/net").toStdString();
        m_paths.sysClassNet = QDir(m_dir.path()).filePath("sys/class/net").toStdString();
    }

    bool isValid() const { return m_dir.isValid(); }
    const HostPaths& paths() const { return m_paths; }

    void setRoute(const std::string& text) { write(m_paths.procNet + "/route", text); }
    void setArp(const std::string& text) { write(m_paths.procNet + "/arp", text); }

    // An interface with its address and link files; an empty value leaves
    // the file out.
    void addInterface(const std::string& name, const std::string& mac, const std::string& operstate,
                      const std::string& carrier)
    {
        const std::string base = m_paths.sysClassNet + "/" + name;
        QDir().mkpath(QString::fromStdString(base));
        if (!mac.empty())
            write(base + "/address", mac + "\n");
        if (!operstate.empty())
            write(base + "/operstate", operstate + "\n");
        if (!carrier.empty())
            write(base + "/carrier", carrier + "\n");
    }

    // The interface's device: its uevent text and optional PCI files.
    void addDevice(const std::string& name, const std::string& uevent,
                   const std::string& subsystemVendor = std::string(),
                   const std::string& vendor = std::string(), const std::string& device = std::string())
    {
        const std::string base = m_paths.sysClassNet + "/" + name + "/device";
        QDir().mkpath(QString::fromStdString(base));
        write(base + "/uevent", uevent);
        if (!subsystemVendor.empty())
            write(base + "/subsystem_vendor", subsystemVendor + "\n");
        if (!vendor.empty())
            write(base + "/vendor", vendor + "\n");
        if (!device.empty())
            write(base + "/device", device + "\n");
    }

    // The usual test host: kxa0 up but without the default route, kxb0
    // with the default route through 192.0.2.1.
    void addTwoInterfacesWithDefaultRouteOnSecond()
    {
        addInterface("kxa0", "02:00:5e:00:00:0a", "up", "1");
        addInterface("kxb0", "02:00:5e:ab:cd:ef", "up", "1");
        setRoute(std::string(kRouteTitles) + routeLine("kxa0", "0002000A", "00000000", "00FFFFFF", "0001")
                 + routeLine("kxb0", "00000000", kGatewayHex, "00000000")
                 + routeLine("kxb0", "000200C0", "00000000", "00FFFFFF", "0001"));
    }

private:
    static void write(const std::string& path, const std::string& text)
    {
        QFile file(QString::fromStdString(path));
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
        file.write(text.data(), qint64(text.size()));
    }

    QTemporaryDir m_dir;
    HostPaths m_paths;
};

bool isDocumentationIpv4(const std::string& address)
{
    return address.rfind("192.0.2.", 0) == 0 || address.rfind("198.51.100.", 0) == 0
           || address.rfind("203.0.113.", 0) == 0;
}

} // namespace

class TestAdapter : public QObject {
    Q_OBJECT

private slots:
    void defaultRouteIsFound()
    {
        const DefaultRoute route = parseDefaultRoute(
                std::string(kRouteTitles) + routeLine("eth0", "00000000", kGatewayHex, "00000000"));
        QCOMPARE(route.interface, std::string("eth0"));
        // The gateway's bytes come out in network order.
        QCOMPARE(route.gateway, std::string(kGateway));

        const DefaultRoute other = parseDefaultRoute(
                std::string(kRouteTitles) + routeLine("wlan0", "00000000", "FE6433C6", "00000000"));
        QCOMPARE(other.interface, std::string("wlan0"));
        QCOMPARE(other.gateway, std::string("198.51.100.254"));
    }

    void defaultRouteAmongSeveralRoutes()
    {
        const std::string text = std::string(kRouteTitles)
                                 + routeLine("eth1", "0000A8C0", "00000000", "0000FFFF", "0001")
                                 + routeLine("docker0", "000011AC", "00000000", "0000FFFF", "0001")
                                 // 0.0.0.0/1 as VPNs set it: not a default route.
                                 + routeLine("tun0", "00000000", "00000000", "00000080", "0001")
                                 + routeLine("wlan0", "00000000", "0171000A", "00000000", "0003", "600")
                                 + routeLine("wlan0", "0071000A", "00000000", "00FFFFFF", "0001", "600");
        const DefaultRoute route = parseDefaultRoute(text);
        QCOMPARE(route.interface, std::string("wlan0"));
        QCOMPARE(route.gateway, std::string("10.0.113.1"));
    }

    void noDefaultRouteGivesNothing()
    {
        const DefaultRoute onlySubnets = parseDefaultRoute(
                std::string(kRouteTitles) + routeLine("eth0", "000200C0", "00000000", "00FFFFFF", "0001"));
        QVERIFY(onlySubnets.interface.empty());
        QVERIFY(onlySubnets.gateway.empty());

        QVERIFY(parseDefaultRoute(kRouteTitles).interface.empty());
        QVERIFY(parseDefaultRoute("").interface.empty());
    }

    void defaultRouteWithoutGatewayHasEmptyGateway()
    {
        // A point-to-point link: default route straight out of the interface.
        const DefaultRoute route = parseDefaultRoute(
                std::string(kRouteTitles) + routeLine("ppp0", "00000000", "00000000", "00000000", "0001"));
        QCOMPARE(route.interface, std::string("ppp0"));
        QVERIFY(route.gateway.empty());
    }

    void malformedRouteLinesAreSkipped()
    {
        const std::string text = std::string(kRouteTitles)
                                 + "\n"
                                 + "garbage\n"
                                 // Too few columns: cut before the mask.
                                 + "eth9\t00000000\t0A0A0A0A\t0003\t0\t0\t100\n"
                                 + "   \t\t\n"
                                 + routeLine("eth0", "00000000", kGatewayHex, "00000000");
        const DefaultRoute route = parseDefaultRoute(text);
        QCOMPARE(route.interface, std::string("eth0"));
        QCOMPARE(route.gateway, std::string(kGateway));
    }

    void arpCompleteEntry()
    {
        const std::string text = std::string(kArpTitles) + arpLine("192.0.2.7", "0x2", "eth0")
                                 + arpLine(kGateway, "0x2", "eth0");
        QVERIFY(arpEntryComplete(text, kGateway));
        QVERIFY(arpEntryComplete(text, "192.0.2.7"));
        // Complete and permanent.
        QVERIFY(arpEntryComplete(std::string(kArpTitles) + arpLine(kGateway, "0x6", "eth0"), kGateway));
    }

    void arpIncompleteOrAbsentEntry()
    {
        const std::string incomplete = std::string(kArpTitles) + arpLine(kGateway, "0x0", "eth0");
        QVERIFY(!arpEntryComplete(incomplete, kGateway));
        // Only a longer address sharing the prefix.
        const std::string longer = std::string(kArpTitles) + arpLine("192.0.2.10", "0x2", "eth0")
                                   + arpLine("192.0.2.100", "0x2", "eth0");
        QVERIFY(!arpEntryComplete(longer, kGateway));
        QVERIFY(!arpEntryComplete(kArpTitles, kGateway));
        QVERIFY(!arpEntryComplete("", kGateway));
        QVERIFY(!arpEntryComplete(std::string(kArpTitles) + arpLine(kGateway, "0x2", "eth0"), ""));
    }

    void malformedArpLinesDoNotThrow()
    {
        // discoverAdapter reads /proc/net/arp on every adapter check; a line
        // it cannot read must count as "no answer", not end the service.
        const std::string text = std::string(kArpTitles) + kGateway + "   0x1   zz   *\n"
                                 + "192.0.2.9\n";
        bool threw = false;
        bool complete = true;
        try {
            complete = arpEntryComplete(text, kGateway);
        } catch (const std::exception& error) {
            threw = true;
            qWarning("arpEntryComplete threw: %s", error.what());
        }
        QVERIFY2(!threw, "an unreadable flags field ends in an exception");
        QVERIFY(!complete);
        QVERIFY(!arpEntryComplete(text, "192.0.2.9"));
    }

    void vendorFromPciSubsystem_data()
    {
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<uint>("vendor");
        QTest::newRow("asus") << "0x1043" << 2u;
        QTest::newRow("asrock") << "0x1849" << 3u;
        QTest::newRow("gigabyte") << "0x1458" << 4u;
        QTest::newRow("supermicro") << "0x15d9" << 6u;
        QTest::newRow("supermicro upper") << "0x15D9" << 6u;
        QTest::newRow("dell") << "0x1028" << 7u;
        QTest::newRow("msi") << "0x1462" << 8u;
        QTest::newRow("intel (unknown)") << "0x8086" << 1u;
        QTest::newRow("zero") << "0x0000" << 1u;
        QTest::newRow("empty") << "" << 1u;
        QTest::newRow("garbage") << "not-a-number" << 1u;
        QTest::newRow("too big") << "0xffffffffffffffffffff" << 1u;
    }

    void vendorFromPciSubsystem()
    {
        QFETCH(QString, subsystem);
        QFETCH(uint, vendor);
        QCOMPARE(demo::vendorFromPciSubsystem(subsystem.toStdString()), std::uint32_t(vendor));
    }

    void discoverTakesTheDefaultRouteInterface()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        host.addTwoInterfacesWithDefaultRouteOnSecond();
        host.setArp(std::string(kArpTitles) + arpLine(kGateway, "0x2", "kxb0"));

        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.mac, std::string("02:00:5E:AB:CD:EF"));
        QCOMPARE(adapter.gateway, std::string(kGateway));
        QCOMPARE(adapter.state, std::uint32_t(kNicReady));
        QCOMPARE(adapter.router, 0u);
        QVERIFY(!adapter.fake);
    }

    void linkStateFromOperstateAndCarrier_data()
    {
        QTest::addColumn<QString>("operstate");
        QTest::addColumn<QString>("carrier");
        QTest::addColumn<uint>("state");
        QTest::newRow("up with carrier") << "up" << "1" << uint(kNicReady);
        QTest::newRow("up without carrier") << "up" << "0" << uint(kNicNoLink);
        QTest::newRow("down") << "down" << "0" << uint(kNicNoLink);
        // A down interface's carrier file cannot be read.
        QTest::newRow("down, no carrier file") << "down" << "" << uint(kNicNoLink);
        QTest::newRow("dormant") << "dormant" << "1" << uint(kNicNoLink);
        QTest::newRow("lowerlayerdown") << "lowerlayerdown" << "0" << uint(kNicNoLink);
        QTest::newRow("no operstate file") << "" << "1" << uint(kNicNoLink);
        // Tunnels report "unknown" while they carry traffic.
        QTest::newRow("tunnel with carrier") << "unknown" << "1" << uint(kNicReady);
        QTest::newRow("tunnel without carrier") << "unknown" << "0" << uint(kNicNoLink);
    }

    void linkStateFromOperstateAndCarrier()
    {
        QFETCH(QString, operstate);
        QFETCH(QString, carrier);
        QFETCH(uint, state);
        FakeHost host;
        QVERIFY(host.isValid());
        host.addInterface("kxb0", "02:00:5e:ab:cd:ef", operstate.toStdString(), carrier.toStdString());
        host.setRoute(std::string(kRouteTitles) + routeLine("kxb0", "00000000", kGatewayHex, "00000000"));
        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.state, std::uint32_t(state));
    }

    void routerAnswersOnlyWithCompleteArpEntry_data()
    {
        QTest::addColumn<QString>("arp");   // empty: no arp file
        QTest::addColumn<bool>("withGateway");
        QTest::addColumn<uint>("router");
        const QString titles = kArpTitles;
        QTest::newRow("complete") << titles + QString::fromStdString(arpLine(kGateway, "0x2", "kxb0"))
                                  << true << 0u;
        QTest::newRow("incomplete") << titles + QString::fromStdString(arpLine(kGateway, "0x0", "kxb0"))
                                    << true << 1u;
        QTest::newRow("other neighbour only")
                << titles + QString::fromStdString(arpLine("192.0.2.55", "0x2", "kxb0")) << true << 1u;
        QTest::newRow("no arp file") << QString() << true << 1u;
        // Without a gateway there is nobody to answer, even if the arp
        // table holds a complete 0.0.0.0.
        QTest::newRow("no gateway")
                << titles + QString::fromStdString(arpLine("0.0.0.0", "0x2", "kxb0")) << false << 1u;
    }

    void routerAnswersOnlyWithCompleteArpEntry()
    {
        QFETCH(QString, arp);
        QFETCH(bool, withGateway);
        QFETCH(uint, router);
        FakeHost host;
        QVERIFY(host.isValid());
        host.addInterface("kxb0", "02:00:5e:ab:cd:ef", "up", "1");
        host.setRoute(std::string(kRouteTitles)
                      + routeLine("kxb0", "00000000", withGateway ? kGatewayHex : "00000000", "00000000"));
        if (!arp.isEmpty())
            host.setArp(arp.toStdString());
        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.gateway, withGateway ? std::string(kGateway) : std::string());
        QCOMPARE(adapter.router, std::uint32_t(router));
    }

    void modelFromDriverAndPciId()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        host.addTwoInterfacesWithDefaultRouteOnSecond();
        host.addDevice("kxb0", "DRIVER=e1000e\nPCI_CLASS=20000\nPCI_ID=8086:15B8\nPCI_SLOT_NAME=0000:00:1f.6\n");
        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("kxb0"));
        const QString model = QString::fromStdString(adapter.model);
        QVERIFY2(model.contains("e1000e"), qPrintable(model));
        QVERIFY2(model.contains("8086:15B8"), qPrintable(model));
        QVERIFY2(!model.contains("Virtual"), qPrintable(model));
    }

    void modelFromDriverAndVendorDeviceFiles()
    {
        // No PCI_ID in the uevent: the vendor and device files name the chip.
        FakeHost host;
        QVERIFY(host.isValid());
        host.addTwoInterfacesWithDefaultRouteOnSecond();
        host.addDevice("kxb0", "DRIVER=r8169\n", std::string(), "0x10ec", "0x8168");
        const QString model = QString::fromStdString(discoverAdapter(host.paths()).model);
        QVERIFY2(model.contains("r8169"), qPrintable(model));
        QVERIFY2(model.contains("10EC:8168"), qPrintable(model));
    }

    void interfaceWithoutDeviceIsVirtual()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        host.addTwoInterfacesWithDefaultRouteOnSecond();
        // Only the other interface has a device.
        host.addDevice("kxa0", "DRIVER=igb\nPCI_ID=8086:1533\n", "0x1043");
        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.model, std::string("Virtual network interface"));
        QCOMPARE(adapter.vendor, 1u);
    }

    void vendorFromDeviceSubsystemVendor_data()
    {
        QTest::addColumn<QString>("subsystem");   // empty: no file
        QTest::addColumn<uint>("vendor");
        QTest::newRow("asus board") << "0x1043" << 2u;
        QTest::newRow("msi board") << "0x1462" << 8u;
        QTest::newRow("unknown board") << "0x17aa" << 1u;
        QTest::newRow("no subsystem file") << "" << 1u;
    }

    void vendorFromDeviceSubsystemVendor()
    {
        QFETCH(QString, subsystem);
        QFETCH(uint, vendor);
        FakeHost host;
        QVERIFY(host.isValid());
        host.addTwoInterfacesWithDefaultRouteOnSecond();
        host.addDevice("kxb0", "DRIVER=igb\nPCI_ID=8086:1533\n", subsystem.toStdString());
        QCOMPARE(discoverAdapter(host.paths()).vendor, std::uint32_t(vendor));
    }

    void withoutDefaultRouteTheFirstUpInterfaceIsTaken()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        // Created out of order; "lo" is up but never taken, "mx0" is down.
        host.addInterface("ox0", "02:00:5e:00:00:0c", "up", "1");
        host.addInterface("lo", "00:00:00:00:00:00", "up", "1");
        host.addInterface("nx0", "02:00:5e:00:00:0b", "up", "1");
        host.addInterface("mx0", "02:00:5e:00:00:0a", "down", "");
        host.setRoute(std::string(kRouteTitles)
                      + routeLine("nx0", "000200C0", "00000000", "00FFFFFF", "0001"));
        const Adapter adapter = discoverAdapter(host.paths());
        QCOMPARE(adapter.name, std::string("nx0"));
        QCOMPARE(adapter.mac, std::string("02:00:5E:00:00:0B"));
        QVERIFY(adapter.gateway.empty());
        QCOMPARE(adapter.router, 1u);
        QVERIFY(!adapter.fake);
    }

    void withoutRouteFileTheFirstUpInterfaceIsTaken()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        host.addInterface("kxa0", "02:00:5e:00:00:0a", "down", "0");
        host.addInterface("kxb0", "02:00:5e:00:00:0b", "up", "1");
        QCOMPARE(discoverAdapter(host.paths()).name, std::string("kxb0"));
    }

    void nothingUsableGivesTheDemoAdapter()
    {
        FakeHost host;
        QVERIFY(host.isValid());
        host.addInterface("lo", "00:00:00:00:00:00", "up", "1");
        host.addInterface("kxa0", "02:00:5e:00:00:0a", "down", "");
        host.setRoute(kRouteTitles);
        const Adapter adapter = discoverAdapter(host.paths());
        QVERIFY(adapter.fake);
        QCOMPARE(adapter.name, demoAdapter().name);
        QCOMPARE(adapter.mac, demoAdapter().mac);

        // Nothing at all where the files should be.
        HostPaths missing;
        missing.procNet = host.paths().procNet + "/absent";
        missing.sysClassNet = host.paths().sysClassNet + "/absent";
        QVERIFY(discoverAdapter(missing).fake);
    }

    void demoAdapterIsClearlyFake()
    {
        const Adapter adapter = demoAdapter();
        QVERIFY(adapter.fake);
        QVERIFY(!adapter.name.empty());
        QVERIFY2(isDocumentationIpv4(adapter.ipv4), adapter.ipv4.c_str());
        QVERIFY2(isDocumentationIpv4(adapter.gateway), adapter.gateway.c_str());
        QVERIFY2(adapter.ipv6.rfind("2001:db8:", 0) == 0, adapter.ipv6.c_str());
        // A locally administered unicast MAC: never a real card's.
        bool ok = false;
        const int firstOctet = QString::fromStdString(adapter.mac.substr(0, 2)).toInt(&ok, 16);
        QVERIFY(ok);
        QVERIFY((firstOctet & 0x02) != 0);
        QVERIFY((firstOctet & 0x01) == 0);
        QCOMPARE(adapter.state, std::uint32_t(kNicReady));
    }
};

QTEST_GUILESS_MAIN(TestAdapter)
#include "tst_adapter.moc"
