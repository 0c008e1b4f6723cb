#pragma once

// The machine's own applications, measured and shaped in the kernel:
// applications are cgroup v2 leaves; nftables counts their bytes per cgroup
// (socket cgroupv2 into dynamic sets with counters) and sets each packet's
// class; HTB shapes upload on the interface and download on an IFB device
// the backend creates. No packet passes through user space: when the
// service stalls, the network keeps working with the last configuration.

#include "backend.h"
#include "meter.h"
#include "sites.h"
#include "system.h"
#include "unitname.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace linuxbackend {

struct Settings {
    std::string interface;        // empty: the default route's
    std::string cgroupRoot;       // empty: the cgroup v2 mount
    std::string stateDirectory;   // empty: $STATE_DIRECTORY, else a default
    std::string iconDirectory;    // where badges are written for applications without an icon
    std::uint32_t markMask = 0xff000000u;
};

class LinuxBackend : public demo::Backend {
public:
    using Output = std::function<void(const std::string& line)>;

    LinuxBackend(Settings settings, Output output);
    // Removes everything the backend installed.
    ~LinuxBackend() override;

    // Probes what it needs, removes what a crashed run left, and installs
    // the counting and classifying tables. False with one line naming the
    // missing capability or feature; nothing is left installed then.
    bool start(std::string& error);

    bool setPolicy(bool active, std::uint32_t downLimit, std::uint32_t upLimit, std::string& error) override;
    void step() override;
    void setChoice(std::uint32_t id, bool site, std::uint32_t priority, bool pinned) override;
    std::vector<demo::Flow>& flows() override { return m_flows; }
    std::uint32_t totalDown() const override { return m_totalDown; }
    std::uint32_t totalUp() const override { return m_totalUp; }

    const std::string& interface() const { return m_interface; }
    // Prioritisation and the limits as the last run left them (kept in the
    // state folder); false when none were kept.
    bool savedPolicy(bool& active, std::uint32_t& downLimit, std::uint32_t& upLimit) const;

private:
    struct App {
        std::uint32_t id = 0;
        std::string key;
        UnitIdentity identity;
        std::string name;
        std::string icon;
        std::uint32_t priority = 3;
        bool pinned = false;
        std::uint32_t slot = 0;   // 0: no mark left for it; not counted
        std::set<std::string> leaves;   // paths relative to the cgroup v2 mount
        std::chrono::steady_clock::time_point lastActive;
        std::uint32_t down = 0, up = 0;
    };
    struct Site {
        std::uint32_t id = 0;
        std::uint32_t priority = 3;
        bool pinned = false;
        std::chrono::steady_clock::time_point lastActive;
        std::uint32_t down = 0, up = 0;
    };
    struct Choice {
        std::uint32_t id = 0;
        std::uint32_t priority = 3;
        bool pinned = false;
    };

    void cleanup();
    bool probe(std::string& error);
    bool conflicts(std::string& error);
    bool runTc(const std::string& batch, std::string& error);
    bool ip(const std::vector<std::string>& arguments, std::string& error);
    std::string slotRules(const App& app) const;
    std::string className(const App& app) const;
    std::uint32_t slotValue(std::uint32_t slot) const { return slot << m_markShift; }
    void scan(std::chrono::steady_clock::time_point now);
    void syncMaps();
    std::map<std::string, std::uint64_t> readSet(const std::string& set);
    std::map<std::uint32_t, std::uint64_t> readCounters(const char* set);
    void startSites();
    void measureSites(std::chrono::steady_clock::time_point now, double seconds);
    std::uint32_t idFor(const std::string& key);
    void resolve(App& app, const std::string& leafPath);
    void loadChoices();
    void saveChoices();
    void say(const std::string& line);

    Settings m_settings;
    Output m_output;
    Nft m_nft;
    int m_guard = -1;   // the namespace-wide lock: one shaping service per network namespace
    bool m_installed = false;

    std::string m_interface, m_ifb, m_tc, m_ip;
    std::string m_mount;        // the cgroup v2 mount
    std::string m_root;         // where applications are found
    std::string m_nftPrefix;    // the mount relative to /sys/fs/cgroup, as nft names cgroups
    std::string m_leafQdisc = "pfifo limit 300";
    bool m_fairLeaves = false;
    std::uint32_t m_markShift = 24, m_maxSlot = 255;

    bool m_active = true;
    std::uint32_t m_down = 0, m_up = 0;
    bool m_policySet = false;

    std::map<std::string, std::unique_ptr<App>> m_apps;   // by key
    std::vector<App*> m_slots;                            // slot -> application
    std::set<std::uint32_t> m_chains;                     // slot chains created
    std::map<std::string, std::uint32_t> m_mapped;        // leaf -> slot, as installed
    std::map<std::string, Choice> m_choices;              // by key, as kept on disk
    std::uint32_t m_nextId = 1;
    SpeedMeter m_txMeter, m_rxMeter, m_ifTx, m_ifRx;
    std::chrono::steady_clock::time_point m_lastStep;
    std::unique_ptr<DnsListener> m_dns;                   // null: sites are left out
    std::map<std::string, std::pair<std::string, std::chrono::steady_clock::time_point>> m_names;   // address -> site, until
    std::map<std::string, std::uint64_t> m_addressBytes;  // "set address" -> last counter
    std::map<std::string, Site> m_sites;                  // by name
    std::vector<demo::Flow> m_flows;
    std::uint32_t m_totalDown = 0, m_totalUp = 0;
};

} // namespace linuxbackend
