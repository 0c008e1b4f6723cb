// Finding the adapter to report: the route and ARP parsers, and discoverAdapter
// against a fake /proc/net and /sys/class/net in a temporary folder.

#include "adapter.h"

#include <QtTest>

#include <exception>
#include <string>

using namespace demo;

namespace {

const char kRouteTitles[] =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char kArpTitles[] = "IP address       HW type     Flags       HW address            Mask     Device\n";

// A /proc/net/route line. Addresses as the kernel prints them: the
// network-order bytes read as a host-order (little-endian) number.
std::string routeLine(const std::string& iface, const std::string& destination, const std::string& gateway,
                      const std::string& mask)
{
    return iface + "\t" + destination + "\t" + gateway + "\t0003\t0\t0\t100\t" + mask + "\t0\t0\t0\n";
}

std::string arpLine(const std::string& ip, const std::string& flags)
{
    return ip + "        0x1         " + flags + "         02:00:5e:00:53:01     *        eth0\n";
}

const char kGatewayHex[] = "010200C0";   // 192.0.2.1 as /proc/net/route prints it
const char kGateway[] = "192.0.2.1";

// A fake host: proc/net and sys/class/net under a temporary folder.
class FakeHost {
    QTemporaryDir m_dir;

public:
    HostPaths paths{m_dir.filePath("proc/net").toStdString(), m_dir.filePath("sys/class/net").toStdString()};

    // Writes a file below the fake root, creating its folders.
    void set(const QString& path, const std::string& text)
    {
        const QString full = m_dir.filePath(path);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(full));
        file.write(text.data(), qint64(text.size()));
    }

    // An interface's link files; an empty value leaves the file out.
    void addInterface(const QString& name, const std::string& operstate, const std::string& carrier = "1",
                      const std::string& mac = "02:00:5e:00:00:0a")
    {
        set("sys/class/net/" + name + "/address", mac + "\n");
        if (!operstate.empty())
            set("sys/class/net/" + name + "/operstate", operstate + "\n");
        if (!carrier.empty())
            set("sys/class/net/" + name + "/carrier", carrier + "\n");
    }
};

} // namespace

class TestAdapter : public QObject {
    Q_OBJECT

private slots:
    void defaultRoute_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("interface");   // empty: none found
        QTest::addColumn<QString>("gateway");
        const QString titles = kRouteTitles;
        auto line = [](const char* iface, const char* destination, const char* gateway, const char* mask) {
            return QString::fromStdString(routeLine(iface, destination, gateway, mask));
        };
        // 0.0.0.0/1 as VPNs set it is not a default route.
        QTest::newRow("among others") << titles + line("eth1", "0000A8C0", "00000000", "0000FFFF")
                                                + line("tun0", "00000000", "00000000", "00000080")
                                                + line("wlan0", "00000000", "0171000A", "00000000")
                                                + line("wlan0", "0071000A", "00000000", "00FFFFFF")
                                      << "wlan0" << "10.0.113.1";
        QTest::newRow("point to point, no gateway")
                << titles + line("ppp0", "00000000", "00000000", "00000000") << "ppp0" << "";
        // The gateway's bytes come out in network order.
        QTest::newRow("malformed lines skipped")
                << titles + "\ngarbage\neth9\t00000000\t0A0A0A0A\t0003\t0\t0\t100\n"
                           + line("eth0", "00000000", kGatewayHex, "00000000")
                << "eth0" << kGateway;
        QTest::newRow("only subnets") << titles + line("eth0", "000200C0", "00000000", "00FFFFFF") << "" << "";
    }

    void defaultRoute()
    {
        QFETCH(QString, text);
        QFETCH(QString, interface);
        QFETCH(QString, gateway);
        const DefaultRoute route = parseDefaultRoute(text.toStdString());
        QCOMPARE(QString::fromStdString(route.interface), interface);
        QCOMPARE(QString::fromStdString(route.gateway), gateway);
    }

    void arpEntryComplete_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("complete");
        auto line = [](const char* ip, const char* flags) {
            return QString::fromStdString(arpLine(ip, flags));
        };
        QTest::newRow("complete") << line("192.0.2.7", "0x2") + line(kGateway, "0x2") << kGateway << true;
        QTest::newRow("complete, permanent") << line(kGateway, "0x6") << kGateway << true;
        QTest::newRow("incomplete") << line(kGateway, "0x0") << kGateway << false;
        QTest::newRow("longer addresses only")
                << line("192.0.2.10", "0x2") + line("192.0.2.100", "0x2") << kGateway << false;
        QTest::newRow("no address") << line(kGateway, "0x2") << "" << false;
        // discoverAdapter reads the table on every check: a line it cannot
        // read counts as "no answer" and must not end the service.
        QTest::newRow("unreadable flags") << QString(kGateway) + "   0x1   zz   *\n" << kGateway << false;
    }

    void arpEntryComplete()
    {
        QFETCH(QString, lines);
        QFETCH(QString, address);
        QFETCH(bool, complete);
        bool found = !complete;
        try {
            found = demo::arpEntryComplete(kArpTitles + lines.toStdString(), address.toStdString());
        } catch (const std::exception& error) {
            QFAIL(qPrintable(QString("arpEntryComplete threw: ") + error.what()));
        }
        QCOMPARE(found, complete);
    }

    void linkAndRouterState_data()
    {
        QTest::addColumn<QString>("operstate");   // empty: no file
        QTest::addColumn<QString>("carrier");     // empty: no file
        QTest::addColumn<bool>("withGateway");
        QTest::addColumn<QString>("arpFlags");    // the gateway's entry; empty: no arp file
        QTest::addColumn<uint>("state");
        QTest::addColumn<uint>("router");
        QTest::newRow("up, answering") << "up" << "1" << true << "0x2" << uint(kNicReady) << 0u;
        QTest::newRow("up without carrier") << "up" << "0" << true << "0x2" << uint(kNicNoLink) << 0u;
        // A down interface's carrier file cannot be read.
        QTest::newRow("down") << "down" << "" << true << "0x2" << uint(kNicNoLink) << 0u;
        QTest::newRow("dormant") << "dormant" << "1" << true << "0x2" << uint(kNicNoLink) << 0u;
        // Tunnels report "unknown" while they carry traffic.
        QTest::newRow("tunnel with carrier") << "unknown" << "1" << true << "0x2" << uint(kNicReady) << 0u;
        QTest::newRow("tunnel without carrier") << "unknown" << "0" << true << "0x2" << uint(kNicNoLink) << 0u;
        QTest::newRow("answer bit clear") << "up" << "1" << true << "0x4" << uint(kNicReady) << 1u;
        QTest::newRow("no arp file") << "up" << "1" << true << "" << uint(kNicReady) << 1u;
        // Without a gateway nobody answers, whatever the table holds.
        QTest::newRow("no gateway") << "up" << "1" << false << "0x2" << uint(kNicReady) << 1u;
    }

    void linkAndRouterState()
    {
        QFETCH(QString, operstate);
        QFETCH(QString, carrier);
        QFETCH(bool, withGateway);
        QFETCH(QString, arpFlags);
        QFETCH(uint, state);
        QFETCH(uint, router);
        FakeHost host;
        host.addInterface("kxb0", operstate.toStdString(), carrier.toStdString());
        const char* gateway = withGateway ? kGatewayHex : "00000000";
        host.set("proc/net/route", kRouteTitles + routeLine("kxb0", "00000000", gateway, "00000000"));
        if (!arpFlags.isEmpty())
            host.set("proc/net/arp", kArpTitles + arpLine(kGateway, arpFlags.toStdString()));
        const Adapter adapter = discoverAdapter(host.paths);
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.gateway, withGateway ? std::string(kGateway) : std::string());
        QCOMPARE(adapter.state, std::uint32_t(state));
        QCOMPARE(adapter.router, std::uint32_t(router));
    }

    // The default route's interface, its model from its device's uevent,
    // else its vendor and device files, and the board vendor.
    void discoverReadsTheDefaultRouteInterface_data()
    {
        QTest::addColumn<QString>("owner");   // whose device folder it is
        QTest::addColumn<QString>("uevent");
        QTest::addColumn<QString>("subsystem");   // empty: no file
        QTest::addColumn<QString>("model");
        QTest::addColumn<uint>("vendor");
        const char* pci = "DRIVER=e1000e\nPCI_CLASS=20000\nPCI_ID=8086:15B8\nPCI_SLOT_NAME=0000:00:1f.6\n";
        const char* pciModel = "e1000e 8086:15B8";
        QTest::newRow("pci id, asus") << "kxb0" << pci << "0x1043" << pciModel << 2u;
        QTest::newRow("supermicro, upper case") << "kxb0" << pci << "0x15D9" << pciModel << 6u;
        QTest::newRow("no subsystem file") << "kxb0" << pci << "" << pciModel << 1u;
        QTest::newRow("unreadable subsystem") << "kxb0" << pci << "not-a-number" << pciModel << 1u;
        QTest::newRow("subsystem too big") << "kxb0" << pci << "0xffffffffffffffffffff" << pciModel << 1u;
        QTest::newRow("vendor and device files, unknown board")
                << "kxb0" << "DRIVER=r8169\n" << "0x17aa" << "r8169 10EC:8168" << 1u;
        QTest::newRow("the other interface's") << "kxa0" << pci << "0x1043" << "Virtual interface"
                                               << 1u;
        // The window shows the model only under 20 characters.
        QTest::newRow("too long with its ids: the driver alone")
                << "kxb0" << "DRIVER=virtio_net\nPCI_ID=1AF4:0001\n" << "" << "virtio_net" << 1u;
    }

    void discoverReadsTheDefaultRouteInterface()
    {
        QFETCH(QString, owner);
        QFETCH(QString, uevent);
        QFETCH(QString, subsystem);
        QFETCH(QString, model);
        QFETCH(uint, vendor);
        FakeHost host;
        host.addInterface("kxa0", "up");
        host.addInterface("kxb0", "up", "1", "02:00:5e:ab:cd:ef");
        host.set("proc/net/route", kRouteTitles + routeLine("kxa0", "0002000A", "00000000", "00FFFFFF")
                                           + routeLine("kxb0", "00000000", kGatewayHex, "00000000"));
        host.set("proc/net/arp", kArpTitles + arpLine(kGateway, "0x2"));
        const QString device = "sys/class/net/" + owner + "/device/";
        host.set(device + "uevent", uevent.toStdString());
        host.set(device + "vendor", "0x10ec\n");
        host.set(device + "device", "0x8168\n");
        if (!subsystem.isEmpty())
            host.set(device + "subsystem_vendor", subsystem.toStdString() + "\n");
        const Adapter adapter = discoverAdapter(host.paths);
        QCOMPARE(adapter.name, std::string("kxb0"));
        QCOMPARE(adapter.mac, std::string("02:00:5E:AB:CD:EF"));
        QCOMPARE(adapter.gateway, std::string(kGateway));
        QVERIFY(adapter.state == kNicReady && adapter.router == 0 && !adapter.fake);
        QCOMPARE(QString::fromStdString(adapter.model), model);
        QCOMPARE(adapter.vendor, std::uint32_t(vendor));
    }

    void withoutDefaultRouteTheFirstUpInterfaceIsTaken()
    {
        FakeHost host;
        // Created out of order; "lo" is up but never taken, "mx0" is down.
        host.addInterface("ox0", "up");
        host.addInterface("lo", "up");
        host.addInterface("nx0", "up");
        host.addInterface("mx0", "down", "");
        host.set("proc/net/route", kRouteTitles + routeLine("nx0", "000200C0", "00000000", "00FFFFFF"));
        const Adapter adapter = discoverAdapter(host.paths);
        QCOMPARE(adapter.name, std::string("nx0"));
        QVERIFY(adapter.gateway.empty());
        // None up, or nothing at all where the files should be: the demo adapter.
        host.addInterface("nx0", "down");
        host.addInterface("ox0", "down");
        QVERIFY(discoverAdapter(host.paths).fake);
        QVERIFY(discoverAdapter({host.paths.procNet + "/absent", host.paths.sysClassNet + "/absent"}).fake);
    }

    void demoAdapterIsClearlyFake()
    {
        const Adapter adapter = demoAdapter();
        QVERIFY(adapter.fake);
        // Documentation addresses and a locally administered unicast MAC: never a real host's.
        for (const std::string& address : {adapter.ipv4, adapter.gateway}) {
            QVERIFY2(address.rfind("192.0.2.", 0) == 0 || address.rfind("198.51.100.", 0) == 0
                             || address.rfind("203.0.113.", 0) == 0,
                     address.c_str());
        }
        QVERIFY2(adapter.ipv6.rfind("2001:db8:", 0) == 0, adapter.ipv6.c_str());
        QCOMPARE(QString::fromStdString(adapter.mac.substr(0, 2)).toInt(nullptr, 16) & 0x03, 0x02);
    }
};

QTEST_GUILESS_MAIN(TestAdapter)
#include "tst_adapter.moc"
