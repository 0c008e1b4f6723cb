#include "adapter.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <ifaddrs.h>
#include <map>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>
#include <vector>

namespace demo {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string firstLine(const std::string& path)
{
    std::string line;
    std::ifstream file(path);
    std::getline(file, line);
    return line;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string hexToDotted(const std::string& hex)
{
    // /proc/net/route prints addresses as host-order hex of the network bytes.
    std::uint32_t value = 0;
    std::istringstream(hex) >> std::hex >> value;
    in_addr address{};
    address.s_addr = value;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::map<std::string, std::string> ueventOf(const std::string& devicePath)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(readFile(devicePath + "/uevent"));
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

// A short model text, "<driver> <vendor>:<device>" ("e1000e 8086:15B8"):
// the command center shows it on a plate only while it is under 20 characters.
std::string modelOf(const std::string& devicePath)
{
    const auto uevent = ueventOf(devicePath);
    const auto driver = uevent.find("DRIVER");
    if (driver == uevent.end())
        return "Virtual interface";
    std::string model = driver->second;
    const auto pci = uevent.find("PCI_ID");
    if (pci != uevent.end()) {
        model += " " + pci->second;
    } else {
        const std::string vendor = firstLine(devicePath + "/vendor");
        const std::string device = firstLine(devicePath + "/device");
        if (!vendor.empty() && !device.empty())
            model += " " + upper(vendor.substr(vendor.rfind('x') + 1)) + ":"
                     + upper(device.substr(device.rfind('x') + 1));
    }
    // Too long for the plate: the driver alone.
    return model.size() < 20 ? model : driver->second.substr(0, 19);
}

struct Addresses {
    std::string ipv4;
    std::string netmask;
    std::string ipv6;
    std::string flags;   // "running", "down", or empty when the interface is not here
};

Addresses addressesOf(const std::string& interface)
{
    Addresses result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return result;
    std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, freeifaddrs);
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (interface != entry->ifa_name)
            continue;
        result.flags = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0 ? "running" : "down";
        if (entry->ifa_addr == nullptr)
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (entry->ifa_addr->sa_family == AF_INET && result.ipv4.empty()) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
            result.ipv4 = text;
            if (entry->ifa_netmask != nullptr) {
                const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
                inet_ntop(AF_INET, &mask->sin_addr, text, sizeof text);
                result.netmask = text;
            }
        } else if (entry->ifa_addr->sa_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            inet_ntop(AF_INET6, &address->sin6_addr, text, sizeof text);
            // A global address is worth more than a link-local one.
            const bool linkLocal = IN6_IS_ADDR_LINKLOCAL(&address->sin6_addr);
            if (result.ipv6.empty() || !linkLocal)
                result.ipv6 = text;
        }
    }
    return result;
}

std::vector<std::string> interfacesIn(const std::string& directory)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

DefaultRoute parseDefaultRoute(const std::string& routeText)
{
    std::istringstream lines(routeText);
    std::string line;
    std::getline(lines, line);   // the column titles
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> interface >> destination >> gateway >> flags >> refCount >> use >> metric >> mask))
            continue;
        if (destination == "00000000" && mask == "00000000")
            return {interface, gateway == "00000000" ? std::string() : hexToDotted(gateway)};
    }
    return {};
}

bool arpEntryComplete(const std::string& arpText, const std::string& address)
{
    std::istringstream lines(arpText);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, type, flags;
        if (!(fields >> ip >> type >> flags) || ip != address)
            continue;
        char* end = nullptr;
        const unsigned long value = std::strtoul(flags.c_str(), &end, 16);
        if (end == flags.c_str() || *end != '\0')
            continue;   // an unreadable line says nothing
        return (value & 0x2) != 0;   // ATF_COM: the neighbour answered
    }
    return false;
}

std::uint32_t vendorFromPciSubsystem(const std::string& subsystemVendor)
{
    // PCI vendor ids of the board makers whose logos the command center has.
    static const std::map<unsigned long, std::uint32_t> known = {
        {0x1043, 2},   // ASUSTeK
        {0x1849, 3},   // ASRock
        {0x1458, 4},   // Gigabyte
        {0x15d9, 6},   // Supermicro
        {0x1028, 7},   // Dell
        {0x1462, 8},   // MSI
    };
    unsigned long id = 0;
    try {
        id = std::stoul(subsystemVendor, nullptr, 16);
    } catch (const std::exception&) {
        return 1;
    }
    const auto found = known.find(id);
    return found != known.end() ? found->second : 1;
}

Adapter demoAdapter()
{
    Adapter adapter;
    adapter.name = "kestrix-demo0";
    adapter.ipv4 = "192.0.2.10";   // documentation ranges: never a real host
    adapter.netmask = "255.255.255.0";
    adapter.ipv6 = "2001:db8::10";
    adapter.gateway = "192.0.2.1";
    adapter.mac = "02:00:5E:10:00:01";
    adapter.model = "KX-2500 demo";
    adapter.state = kNicReady;
    adapter.router = 0;
    adapter.vendor = 1;
    adapter.fake = true;
    return adapter;
}

Adapter discoverAdapter(const HostPaths& paths, const std::string& wanted)
{
    DefaultRoute route = parseDefaultRoute(readFile(paths.procNet + "/route"));
    if (!wanted.empty() && wanted != route.interface)
        route = {wanted, {}};
    std::string interface = route.interface;
    if (interface.empty()) {
        for (const std::string& name : interfacesIn(paths.sysClassNet)) {
            if (name == "lo")
                continue;
            if (firstLine(paths.sysClassNet + "/" + name + "/operstate") == "up") {
                interface = name;
                break;
            }
        }
    }
    if (interface.empty())
        return demoAdapter();

    const std::string base = paths.sysClassNet + "/" + interface;
    Adapter adapter;
    adapter.name = interface;
    adapter.mac = upper(firstLine(base + "/address"));
    adapter.model = modelOf(base + "/device");
    const Addresses addresses = addressesOf(interface);
    adapter.ipv4 = addresses.ipv4;
    adapter.netmask = addresses.netmask;
    adapter.ipv6 = addresses.ipv6;
    adapter.gateway = route.gateway;

    // Tunnels (tun, WireGuard) report their state as "unknown" but carry traffic.
    std::string operstate = firstLine(base + "/operstate");
    bool carrier = firstLine(base + "/carrier") == "1";
    if (operstate.empty() && !addresses.flags.empty()) {
        // Not in this sysfs (a network namespace entered with setns shows the
        // host's devices there): the flags, which follow the namespace.
        operstate = addresses.flags == "running" ? "up" : "down";
        carrier = addresses.flags == "running";
    }
    const bool up = operstate == "up" || (operstate == "unknown" && carrier);
    adapter.state = up && carrier ? kNicReady : kNicNoLink;
    adapter.router = !route.gateway.empty()
                             && arpEntryComplete(readFile(paths.procNet + "/arp"), route.gateway)
                         ? 0
                         : 1;
    const std::string subsystemVendor = firstLine(base + "/device/subsystem_vendor");
    adapter.vendor = subsystemVendor.empty() ? 1 : vendorFromPciSubsystem(subsystemVendor);
    return adapter;
}

} // namespace demo
