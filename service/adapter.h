#pragma once

// The network adapter the service reports: found on the host, or a clearly
// fake demo adapter when the host has none worth reporting.

#include <cstdint>
#include <string>

namespace demo {

// Adapter and service state codes the command center understands.
enum NicState : std::uint32_t {
    kNicReady = 0,
    kNicNoAdapter = 1,
    kNicUnsupported = 2,
    kNicNoLink = 3,
    kNicNoDriver = 4,
    kNicNoCalloutDriver = 5,
    kNicNoFilterDriver = 6,
};

struct Adapter {
    std::string name;      // string 0
    std::string ipv4;      // string 1
    std::string ipv6;      // string 2
    std::string mac;       // string 3
    std::string gateway;   // string 4
    std::string netmask;   // string 5
    std::string model;     // string 6
    std::uint32_t state = kNicReady;   // parameter 7
    std::uint32_t router = 1;          // parameter 8: 0 when the gateway answers
    std::uint32_t vendor = 1;          // parameter 9
    bool fake = false;
};

// Where the host's facts are read from; tests point these at a fake tree.
struct HostPaths {
    std::string procNet = "/proc/net";
    std::string sysClassNet = "/sys/class/net";
};

// The interface of the default route and its gateway (dotted), from the
// text of /proc/net/route. Empty when there is no default route.
struct DefaultRoute {
    std::string interface;
    std::string gateway;
};
DefaultRoute parseDefaultRoute(const std::string& routeText);

// Whether /proc/net/arp (its text) holds a complete entry for @p address.
bool arpEntryComplete(const std::string& arpText, const std::string& address);

// The vendor id (parameter 9) for a PCI subsystem vendor id such as "0x1043";
// 1 (the maker's own) when none of the known vendors matches.
std::uint32_t vendorFromPciSubsystem(const std::string& subsystemVendor);

// Finds the adapter: @p interface when given, else the default route's
// interface, else the first non-loopback interface that is up, else the
// demo adapter.
Adapter discoverAdapter(const HostPaths& paths = HostPaths(), const std::string& interface = std::string());

// The clearly fake adapter used when the host has none.
Adapter demoAdapter();

} // namespace demo
