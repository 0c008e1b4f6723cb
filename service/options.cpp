#include "options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <getopt.h>

namespace demo {
namespace {

bool toNumber(const char* text, double minimum, double maximum, double& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && value >= minimum && value <= maximum;
}

bool toWhole(const char* text, double minimum, double maximum, double& value)
{
    return toNumber(text, minimum, maximum, value) && value == static_cast<double>(static_cast<std::int64_t>(value));
}

} // namespace

std::string usage(const char* program)
{
    return std::string("Usage: ") + program + R"( [options]

The traffic service of the Kestrix Command Center. It creates the shared
regions, the link mutex and the events in the object directory
($KESTRIX_IPC_DIR, else /dev/shm), publishes the host's network adapter and
its traffic, and takes over what the command center writes.

  --backend demo|linux      demo traffic (default), or the applications of
                            this machine measured and shaped in the kernel
                            (needs CAP_NET_ADMIN)
  --interface IF            linux: the adapter (default: the default route's)
  --cgroup-root DIR         linux: where applications are found (default:
                            the cgroup v2 mount)
  --state-dir DIR           linux: where priorities and pins are kept
                            (default: $STATE_DIRECTORY, else /var/lib/kestrix)
  --mark-mask HEX           linux: the mark bits it may use (default ff000000)
  --demo                    publish demo applications and sites (default)
  --no-demo                 publish the adapter only
  --seed N                  seed of the demo traffic (default 1)
  --apps N                  number of applications (default 24)
  --sites N                 number of sites (default 8)
  --churn                   applications come and go quickly
  --nic-state CODE          report adapter state CODE (0 ready .. 6)
  --vendor ID               report vendor ID (1 .. 11)
  --fake-adapter            report the demo adapter, not the host's
  --down-limit KBPS         initial download limit (default 80000, 0 none;
                            with --backend linux: 0)
  --up-limit KBPS           initial upload limit (default 20000, 0 none;
                            with --backend linux: 0)
  --inactive                start with prioritisation off
  --offer-update SECONDS    offer a new version after SECONDS
  --fail-update             let the offered download fail
  --download-seconds S      how long the download takes (default 4)
  --stall-heartbeat-after S stop the heartbeat after S seconds
  --heartbeat-ms MS         heartbeat interval (default 100)
  --tick-ms MS              how often speeds change (default 1000)
  --icon-dir DIR            where the drawn icons go
  --mode OCTAL              mode of the created objects (default 600)
  --cleanup                 remove the objects and exit
  --help                    this text

SIGTERM and SIGINT end it without removing the objects.
)";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    enum {
        kDemo = 1000, kBackend, kInterface, kCgroupRoot, kStateDir, kMarkMask, kNoDemo, kSeed, kApps, kSites, kChurn, kNicState, kVendor, kFake,
        kDownLimit, kUpLimit, kInactive, kOffer, kFail, kDownload, kStall, kHeartbeat, kTick,
        kIconDir, kMode, kCleanup, kHelp,
    };
    static const option longOptions[] = {
        {"demo", no_argument, nullptr, kDemo},
        {"backend", required_argument, nullptr, kBackend},
        {"interface", required_argument, nullptr, kInterface},
        {"cgroup-root", required_argument, nullptr, kCgroupRoot},
        {"state-dir", required_argument, nullptr, kStateDir},
        {"mark-mask", required_argument, nullptr, kMarkMask},
        {"no-demo", no_argument, nullptr, kNoDemo},
        {"seed", required_argument, nullptr, kSeed},
        {"apps", required_argument, nullptr, kApps},
        {"sites", required_argument, nullptr, kSites},
        {"churn", no_argument, nullptr, kChurn},
        {"nic-state", required_argument, nullptr, kNicState},
        {"vendor", required_argument, nullptr, kVendor},
        {"fake-adapter", no_argument, nullptr, kFake},
        {"down-limit", required_argument, nullptr, kDownLimit},
        {"up-limit", required_argument, nullptr, kUpLimit},
        {"inactive", no_argument, nullptr, kInactive},
        {"offer-update", required_argument, nullptr, kOffer},
        {"fail-update", no_argument, nullptr, kFail},
        {"download-seconds", required_argument, nullptr, kDownload},
        {"stall-heartbeat-after", required_argument, nullptr, kStall},
        {"heartbeat-ms", required_argument, nullptr, kHeartbeat},
        {"tick-ms", required_argument, nullptr, kTick},
        {"icon-dir", required_argument, nullptr, kIconDir},
        {"mode", required_argument, nullptr, kMode},
        {"cleanup", no_argument, nullptr, kCleanup},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0},
    };
    bool downGiven = false, upGiven = false;
    optind = 0;   // 0, not 1: also resets getopt's position inside a group like -xh
    opterr = 0;
    for (;;) {
        const int option = getopt_long(argc, argv, "h", longOptions, nullptr);
        if (option == -1)
            break;
        double value = 0;
        auto check = [&](bool valid) {
            if (!valid)
                error = std::string("invalid value '") + optarg + "' for --" + longOptions[option - kDemo].name;
            return valid;
        };
        auto number = [&](double minimum, double maximum) {
            return check(toNumber(optarg, minimum, maximum, value));
        };
        auto whole = [&](double minimum, double maximum) {
            return check(toWhole(optarg, minimum, maximum, value));
        };
        switch (option) {
        case kDemo: options.demo = true; break;
        case kBackend:
            if (!check(std::string(optarg) == "demo" || std::string(optarg) == "linux"))
                return false;
            options.backend = optarg;
            break;
        case kInterface: options.interface = optarg; break;
        case kCgroupRoot: options.cgroupRoot = optarg; break;
        case kStateDir: options.stateDirectory = optarg; break;
        case kMarkMask: {
            // Contiguous bits, at least eight of them: room for 255 applications.
            char* end = nullptr;
            const unsigned long mask = std::strtoul(optarg, &end, 16);
            const unsigned long low = mask & (~mask + 1);
            if (!check(end != optarg && *end == '\0' && mask <= 0xFFFFFFFFul && mask != 0
                       && ((mask + low) & mask) == 0 && __builtin_popcountl(mask) >= 8))
                return false;
            options.markMask = static_cast<std::uint32_t>(mask);
            break;
        }
        case kNoDemo: options.demo = false; break;
        case kSeed: if (!whole(0, 1e18)) return false; options.seed = static_cast<std::uint64_t>(value); break;
        case kApps: if (!whole(0, 100000)) return false; options.apps = static_cast<int>(value); break;
        case kSites: if (!whole(0, 100000)) return false; options.sites = static_cast<int>(value); break;
        case kChurn: options.churn = true; break;
        case kNicState: if (!whole(0, 0x7FFFFFFF)) return false; options.nicState = static_cast<int>(value); break;
        case kVendor: if (!whole(0, 0x7FFFFFFF)) return false; options.vendor = static_cast<int>(value); break;
        case kFake: options.fakeAdapter = true; break;
        case kDownLimit: if (!whole(0, 0xFFFFFFFF)) return false; options.downLimit = static_cast<std::uint32_t>(value); downGiven = true; break;
        case kUpLimit: if (!whole(0, 0xFFFFFFFF)) return false; options.upLimit = static_cast<std::uint32_t>(value); upGiven = true; break;
        case kInactive: options.active = false; options.policyGiven = true; break;
        case kOffer: if (!number(0, 1e6)) return false; options.offerUpdate = value; break;
        case kFail: options.failUpdate = true; break;
        case kDownload: if (!number(0, 3600)) return false; options.downloadSeconds = value; break;
        case kStall: if (!number(0, 1e6)) return false; options.stallHeartbeatAfter = value; break;
        case kHeartbeat: if (!whole(1, 60000)) return false; options.heartbeatMs = static_cast<int>(value); break;
        case kTick: if (!whole(10, 600000)) return false; options.tickMs = static_cast<int>(value); break;
        case kIconDir: options.iconDirectory = optarg; break;
        case kMode: {
            char* end = nullptr;
            const unsigned long mode = std::strtoul(optarg, &end, 8);
            if (end == optarg || *end != '\0' || mode > 0777 || (mode & 0002) != 0) {
                error = std::string("invalid --mode '") + optarg + "' (octal, not writable by others)";
                return false;
            }
            options.mode = static_cast<unsigned>(mode);
            break;
        }
        case kCleanup: options.cleanup = true; break;
        case kHelp:
        case 'h': options.help = true; break;
        default:
            if (optopt >= kDemo && optopt <= kHelp) {
                const struct option& known = longOptions[optopt - kDemo];
                error = std::string("--") + known.name
                        + (known.has_arg == required_argument ? " needs a value" : " takes no value");
            } else if (optopt > 0 && optopt < 128) {
                error = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
            } else {
                error = std::string("unknown option '") + argv[optind - 1] + "'";
            }
            return false;
        }
    }
    options.policyGiven = options.policyGiven || downGiven || upGiven;
    // The real network is not shaped unless asked to.
    if (options.backend == "linux") {
        options.downLimit = downGiven ? options.downLimit : 0;
        options.upLimit = upGiven ? options.upLimit : 0;
    }
    if (optind < argc) {
        error = std::string("unexpected argument '") + argv[optind] + "'";
        return false;
    }
    return true;
}

} // namespace demo
