#pragma once

// Command line of kestrix-service.

#include <cstdint>
#include <string>

namespace demo {

struct Options {
    std::string backend = "demo";     // "demo" or "linux"
    std::string interface;            // linux: the adapter; empty: the default route's
    std::string cgroupRoot;           // linux: where applications are found; empty: the cgroup2 mount
    std::string stateDirectory;       // linux: priorities and pins; empty: $STATE_DIRECTORY, else a default
    std::uint32_t markMask = 0xff000000u;   // linux: the packet and connection mark bits it may use
    bool demo = true;                 // publish demo applications and sites
    std::uint64_t seed = 1;
    int apps = 24;
    int sites = 8;
    bool churn = false;
    int nicState = -1;                // parameter 7 override; -1: from the host
    int vendor = -1;                  // parameter 9 override; -1: from the host
    bool fakeAdapter = false;         // the demo adapter even when the host has one
    double stallHeartbeatAfter = -1;  // seconds; < 0: never
    double offerUpdate = -1;          // seconds; < 0: no update on offer
    bool failUpdate = false;
    double downloadSeconds = 4;       // how long the update download takes
    std::uint32_t downLimit = 80000;  // initial speed limits, kbit/s (0: none)
    std::uint32_t upLimit = 20000;
    bool active = true;               // prioritisation on at start
    bool policyGiven = false;         // a limit or --inactive given: the linux backend's saved ones are not used
    int heartbeatMs = 100;
    int tickMs = 1000;                // how often speeds change
    std::string iconDirectory;        // empty: the user's cache folder
    unsigned mode = 0600;             // mode of the objects it creates
    bool cleanup = false;
    bool help = false;
};

// Parses argv. Returns false with a message in @p error on a bad option.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

std::string usage(const char* program);

} // namespace demo
