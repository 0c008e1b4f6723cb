#include "linuxbackend.h"

#include "adapter.h"
#include "icons.h"
#include "xdg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <net/if.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace linuxbackend {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kTable[] = "kestrix";        // inet: counting and classifying
constexpr const char kDownTable[] = "kestrix_dl"; // netdev: the download path through the IFB
constexpr const char kHandle[] = "4b58";          // the HTB trees' handle on both devices
constexpr int kLevels = 8;                        // cgroup depths an application may sit at
constexpr auto kLinger = std::chrono::seconds(10);

std::string readFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

bool hasNetAdmin()
{
    std::istringstream lines(readFile("/proc/self/status"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 7, "CapEff:") == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> 12 & 1) != 0;   // CAP_NET_ADMIN is 12
    }
    return false;
}

std::string cgroup2Mount()
{
    std::istringstream lines(readFile("/proc/self/mountinfo"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, field;
        fields >> id >> parent >> device >> root >> mountPoint;
        while (fields >> field && field != "-") {
        }
        if (fields >> field && field == "cgroup2")
            return mountPoint;
    }
    return {};
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The leaves under @p directory (paths relative to @p mount) whose
// cgroup.events says they hold processes.
void findLeaves(const std::string& mount, const std::string& relative, std::vector<std::string>& leaves, int depth)
{
    const std::string path = relative.empty() ? mount : mount + "/" + relative;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir)
        return;
    bool hasChildren = false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_type != DT_DIR || entry->d_name[0] == '.')
            continue;
        hasChildren = true;
        if (depth < kLevels)
            findLeaves(mount, relative.empty() ? entry->d_name : relative + "/" + entry->d_name, leaves, depth + 1);
    }
    if (!hasChildren && depth > 0 && readFile(path + "/cgroup.events").find("populated 1") != std::string::npos)
        leaves.push_back(relative);
}

std::uint64_t interfaceCounter(const std::string& interface, bool transmit)
{
    // /proc/net follows the reader's network namespace.
    std::istringstream lines(readFile("/proc/net/dev"));
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        name.erase(0, name.find_first_not_of(' '));
        if (name != interface)
            continue;
        std::istringstream fields(line.substr(colon + 1));
        std::uint64_t value = 0, wanted = 0;
        for (int i = 0; i <= (transmit ? 8 : 0) && fields >> value; ++i)
            wanted = value;
        return wanted;
    }
    return 0;
}

std::string stateDirectoryFor(const std::string& configured)
{
    if (!configured.empty())
        return configured;
    const char* systemd = std::getenv("STATE_DIRECTORY");
    if (systemd != nullptr && systemd[0] == '/')
        return std::string(systemd).substr(0, std::string(systemd).find(':'));
    return "/var/lib/kestrix";
}

} // namespace

LinuxBackend::LinuxBackend(Settings settings, Output output)
    : m_settings(std::move(settings)), m_output(std::move(output))
{
    const std::uint32_t mask = m_settings.markMask;
    m_markShift = static_cast<std::uint32_t>(__builtin_ctz(mask));
    m_maxSlot = std::min<std::uint32_t>(mask >> m_markShift, 4095);
    m_slots.assign(m_maxSlot + 1, nullptr);
    m_tc = toolPath("tc");
    m_ip = toolPath("ip");
}

LinuxBackend::~LinuxBackend()
{
    if (m_installed)
        cleanup();
    if (m_guard >= 0)
        ::close(m_guard);
}

void LinuxBackend::say(const std::string& line)
{
    if (m_output)
        m_output(line);
}

bool LinuxBackend::runTc(const std::string& batch, std::string& error)
{
    std::string output;
    if (runProgram({m_tc, "-batch", "-"}, batch, output))
        return true;
    error = "tc: " + output.substr(0, output.find('\n'));
    return false;
}

bool LinuxBackend::ip(const std::vector<std::string>& arguments, std::string& error)
{
    std::vector<std::string> argv{m_ip};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string output;
    if (runProgram(argv, {}, output))
        return true;
    error = "ip: " + output.substr(0, output.find('\n'));
    return false;
}

std::string LinuxBackend::className(const App& app) const
{
    // Off, every application shares the normal class, the one fair class;
    // without fair leaves they are spread over four equal classes instead.
    const std::uint32_t level = m_active ? std::clamp<std::uint32_t>(app.priority, 1, 4)
                                         : m_fairLeaves ? 3 : 1 + app.slot % 4;
    return std::string("\"") + kHandle + ":" + std::to_string(level * 10) + "\"";
}

std::string LinuxBackend::slotRules(const App& app) const
{
    const std::string chain = std::string("inet ") + kTable + " a" + std::to_string(app.slot);
    const std::string keep = hex(~m_settings.markMask), value = hex(slotValue(app.slot));
    return "add chain " + chain + "\nflush chain " + chain + "\n"   //
           + "add rule " + chain + " meta mark set meta mark & " + keep + " | " + value + "\n"
           + "add rule " + chain + " ct mark set ct mark & " + keep + " | " + value + "\n"
           + "add rule " + chain + " meta priority set " + className(app) + "\n";
}

void LinuxBackend::cleanup()
{
    // Never black-holing: the rule that sends downloads to the IFB goes
    // first, then the shapers, the IFB last.
    std::string ignored;
    m_nft.run(std::string("delete table netdev ") + kDownTable, ignored);
    m_nft.run(std::string("delete table inet ") + kTable, ignored);
    for (const std::string& device : {m_interface, m_ifb}) {
        std::string shown;
        runProgram({m_tc, "qdisc", "show", "dev", device, "root"}, {}, shown);
        if (shown.find(std::string("qdisc htb ") + kHandle + ": root") != std::string::npos)
            runProgram({m_tc, "qdisc", "del", "dev", device, "root"}, {}, ignored);
    }
    std::string link;
    if (runProgram({m_ip, "-d", "link", "show", "dev", m_ifb}, {}, link) && link.find(" ifb ") != std::string::npos)
        runProgram({m_ip, "link", "del", "dev", m_ifb}, {}, ignored);
    m_installed = false;
    m_mapped.clear();
    m_chains.clear();
    m_dns.reset();
}

// Another program's qdisc on the interface, or its rules writing our mark
// bits, are refused: the backend keeps out of other software's way.
bool LinuxBackend::conflicts(std::string& error)
{
    std::string shown;
    runProgram({m_tc, "qdisc", "show", "dev", m_interface, "root"}, {}, shown);
    std::istringstream fields(shown);
    std::string word, kind, handle;
    fields >> word >> kind >> handle;
    const bool ours = kind == "htb" && handle == std::string(kHandle) + ":";
    if (!shown.empty() && handle != "0:" && !ours) {
        error = "kestrix-service: " + m_interface + " has a root qdisc (" + kind + " " + handle
                + ") that kestrix-service did not create; remove it or choose another interface";
        return true;
    }
    std::string ruleset;
    m_nft.run("list ruleset", error, &ruleset);
    std::istringstream lines(ruleset);
    std::string line, table;
    while (std::getline(lines, line)) {
        if (line.compare(0, 6, "table ") == 0)
            table = line.substr(6, line.find(" {") - 6);
        if (table == std::string("inet ") + kTable || table == std::string("netdev ") + kDownTable)
            continue;
        const auto set = line.find("mark set ");
        if (set == std::string::npos && line.find("target \"MARK\"") == std::string::npos
            && line.find("target \"CONNMARK\"") == std::string::npos)
            continue;
        // Ours are free only where the rule keeps them: "mark set mark & KEEP | VALUE" with
        // KEEP covering the mask and VALUE outside it; anything else may write them.
        bool safe = false;
        if (set != std::string::npos) {
            unsigned long keep = 0, value = 0;
            const std::string rest = line.substr(set + 9);
            if (std::sscanf(rest.c_str(), "%*s mark & 0x%lx | 0x%lx", &keep, &value) == 2
                || std::sscanf(rest.c_str(), "mark & 0x%lx | 0x%lx", &keep, &value) == 2)
                safe = (keep & m_settings.markMask) == m_settings.markMask && (value & m_settings.markMask) == 0;
        }
        if (!safe) {
            line.erase(0, line.find_first_not_of("\t "));
            error = "kestrix-service: the rule \"" + line + "\" in table " + table
                    + " may write the mark bits " + hex(m_settings.markMask)
                    + "; choose other bits with --mark-mask";
            return true;
        }
    }
    error.clear();
    return false;
}

bool LinuxBackend::probe(std::string& error)
{
    const auto missing = [&](const std::string& what) {
        error = "kestrix-service: " + what + "; nothing was changed";
        return false;
    };
    m_guard = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const char name[] = "kestrix-service-linux-backend";   // abstract: one per network namespace
    std::memcpy(address.sun_path + 1, name, sizeof name - 1);
    if (m_guard < 0
        || ::bind(m_guard, reinterpret_cast<sockaddr*>(&address), sizeof(sa_family_t) + sizeof name) != 0)
        return missing("another kestrix-service --backend linux already serves this network namespace");
    if (!hasNetAdmin())
        return missing("the linux backend needs the capability CAP_NET_ADMIN");
    m_interface = m_settings.interface;
    if (m_interface.empty())
        m_interface = demo::parseDefaultRoute(readFile("/proc/net/route")).interface;
    const unsigned index = m_interface.empty() ? 0 : ::if_nametoindex(m_interface.c_str());
    if (index == 0)
        return missing(m_interface.empty() ? std::string("no interface to shape: there is no default route; name one with --interface")
                                           : "there is no interface " + m_interface);
    m_ifb = m_interface.size() <= 9 ? "kxifb-" + m_interface : "kxifb" + std::to_string(index);
    m_mount = cgroup2Mount();
    if (m_mount.empty())
        return missing("the kernel has no cgroup v2 hierarchy mounted");
    m_root = m_settings.cgroupRoot.empty() ? m_mount : m_settings.cgroupRoot;
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
    if (!isDirectory(m_root) || m_root.compare(0, m_mount.size(), m_mount) != 0)
        return missing("the cgroup root " + m_root + " is not a folder of the cgroup v2 mount " + m_mount);
    // nftables names cgroups by their path below /sys/fs/cgroup.
    const std::string sys = "/sys/fs/cgroup";
    if (m_mount.compare(0, sys.size(), sys) != 0)
        return missing("nftables finds cgroups only below /sys/fs/cgroup, and cgroup v2 is mounted at " + m_mount);
    m_nftPrefix = m_mount.size() > sys.size() ? m_mount.substr(sys.size() + 1) + "/" : std::string();
    if (!m_nft.isValid())
        return missing("libnftables cannot be used");
    return true;
}

bool LinuxBackend::start(std::string& error)
{
    if (!probe(error) || conflicts(error))
        return false;
    // What a run that crashed left behind goes first.
    m_installed = true;
    cleanup();

    const auto fail = [&](const std::string& feature, const std::string& detail) {
        cleanup();
        error = "kestrix-service: the kernel lacks " + feature + " (" + detail + "); nothing was changed";
        return false;
    };
    m_installed = true;
    std::string detail;
    if (!ip({"link", "add", m_ifb, "type", "ifb"}, detail) || !ip({"link", "set", m_ifb, "up"}, detail))
        return fail("IFB devices (ifb)", detail);
    if (!runTc(std::string("qdisc add dev ") + m_ifb + " root handle " + kHandle + ": htb default 30\n"
                   + "qdisc del dev " + m_ifb + " root\n",
               detail))
        return fail("the HTB shaper (sch_htb)", detail);
    // fq_codel leaves where the kernel has them, probed by effect: the
    // qdisc must be there afterwards, not only the command succeed.
    std::string shown;
    runProgram({m_tc, "qdisc", "replace", "dev", m_ifb, "root", "handle", "4b5f:", "fq_codel"}, {}, shown);
    runProgram({m_tc, "qdisc", "show", "dev", m_ifb, "root"}, {}, shown);
    const bool fqCodel = shown.find("qdisc fq_codel 4b5f:") != std::string::npos;
    runProgram({m_tc, "qdisc", "del", "dev", m_ifb, "root"}, {}, shown);
    m_leafQdisc = fqCodel ? "fq_codel" : "pfifo limit 300";
    m_fairLeaves = fqCodel;

    const std::string mask = hex(m_settings.markMask), keep = hex(~m_settings.markMask);
    std::ostringstream inet;
    inet << "add table inet " << kTable << "\n";
    for (int level = 1; level <= kLevels; ++level)
        inet << "add map inet " << kTable << " lv" << level << " { typeof socket cgroupv2 level " << level
             << " : verdict; }\n";
    inet << "add set inet " << kTable << " tx { typeof meta mark; flags dynamic; counter; }\n"
         << "add set inet " << kTable << " rx { typeof ct mark; flags dynamic; counter; }\n"
         << "add chain inet " << kTable << " out { type filter hook output priority 0; policy accept; }\n"
         << "add chain inet " << kTable << " in { type filter hook input priority 0; policy accept; }\n"
         << "add chain inet " << kTable << " classify\n";
    // A packet that already carries another program's mark is left alone.
    // classify holds a lookup for each cgroup depth that has applications
    // (rewritten with the maps); all eight here prove the kernel has them.
    for (int level = 1; level <= kLevels; ++level)
        inet << "add rule inet " << kTable << " classify socket cgroupv2 level " << level << " vmap @lv" << level << "\n";
    inet << "add rule inet " << kTable << " out meta mark & " << keep << " == 0 jump classify\n"
         << "add rule inet " << kTable << " out meta mark & " << mask << " != 0 update @tx { meta mark & " << mask << " }\n"
         << "add rule inet " << kTable << " in ct mark & " << mask << " != 0 update @rx { ct mark & " << mask << " }\n";
    if (!m_nft.run(inet.str(), detail))
        return fail("nftables with socket cgroupv2, verdict maps and dynamic sets with counters", detail);

    // Downloads: the class learned from a flow's outgoing packets (egress
    // hook) is set on its incoming ones (ingress hook), which are then
    // forwarded to the IFB's shaper.
    std::ostringstream netdev;
    netdev << "add table netdev " << kDownTable << "\n"
           << "add map netdev " << kDownTable
           << " flows { typeof meta l4proto . th sport . th dport : meta priority; flags dynamic,timeout; timeout 30s; }\n"
           << "add chain netdev " << kDownTable << " egress { type filter hook egress device \"" << m_interface
           << "\" priority 0; policy accept; }\n"
           << "add chain netdev " << kDownTable << " ingress { type filter hook ingress device \"" << m_interface
           << "\" priority 0; policy accept; }\n"
           << "add rule netdev " << kDownTable << " egress meta l4proto { tcp, udp } meta priority \"" << kHandle
           << ":10\"-\"" << kHandle << ":40\" update @flows { meta l4proto . th sport . th dport : meta priority }\n";
    if (!m_nft.run(netdev.str(), detail))
        return fail("nftables netdev ingress and egress hooks (Linux 5.17 or later)", detail);
    loadChoices();
    startSites();
    say("kestrix-service: linux backend on " + m_interface + " (downloads shaped on " + m_ifb + "), applications under "
        + m_root + "; classes with " + (fqCodel ? "fq_codel" : "pfifo (the kernel has no fq_codel)")
        + " leaves; downloads classified by a flow table learned from outgoing packets; mark bits " + mask);
    m_lastStep = Clock::now();
    m_ifTx.read(0, interfaceCounter(m_interface, true), 1);
    m_ifRx.read(0, interfaceCounter(m_interface, false), 1);
    step();
    return true;
}

bool LinuxBackend::setPolicy(bool active, std::uint32_t downLimit, std::uint32_t upLimit, std::string& error)
{
    const bool activeChanged = !m_policySet || active != m_active;
    const std::uint32_t oldDown = m_policySet ? m_down : 0, oldUp = m_policySet ? m_up : 0;
    m_active = active;
    // The tree of one device: replaced in place, so a change never drops a connection.
    const auto tree = [&](const std::string& device, std::uint32_t limit, std::uint32_t old) {
        if (limit == 0)
            return old == 0 ? std::string() : "qdisc del dev " + device + " root\n";
        const ClassRates rates = classRates(limit, active, m_fairLeaves);
        const std::string parent = std::string(kHandle) + ":";
        std::ostringstream batch;
        if (old == 0)
            batch << "qdisc replace dev " << device << " root handle " << parent << " htb default 30\n";
        const auto quantum = [](std::uint32_t kbit) { return std::clamp<std::uint64_t>(kbit * 125ull / 10, 1514, 200000); };
        batch << "class replace dev " << device << " parent " << parent << " classid " << parent << "1 htb rate "
              << rates.ceil << "kbit ceil " << rates.ceil << "kbit quantum " << quantum(rates.ceil) << "\n";
        for (int i = 0; i < 4; ++i) {
            batch << "class replace dev " << device << " parent " << parent << "1 classid " << parent << (i + 1) * 10
                  << " htb rate " << rates.rate[i] << "kbit ceil " << rates.ceil << "kbit prio " << rates.prio[i] << " quantum "
                  << quantum(rates.rate[i]) << "\n";
            if (old == 0)
                batch << "qdisc replace dev " << device << " parent " << parent << (i + 1) * 10 << " handle 4b5"
                      << char('a' + i) << ": " << m_leafQdisc << "\n";
        }
        return batch.str();
    };
    std::ostringstream nft;
    if (activeChanged) {
        for (App* app : m_slots) {
            if (app != nullptr)
                nft << slotRules(*app);
        }
        nft << "flush map netdev " << kDownTable << " flows\n";
    }
    if (downLimit == 0 || oldDown == 0) {
        nft << "flush chain netdev " << kDownTable << " ingress\n";
        if (downLimit != 0)
            nft << "add rule netdev " << kDownTable << " ingress meta l4proto { tcp, udp } meta priority set meta l4proto . th dport . th sport map @flows\n"
                << "add rule netdev " << kDownTable << " ingress meta protocol { ip, ip6 } fwd to \"" << m_ifb << "\"\n";
    }
    const std::string tc = tree(m_interface, upLimit, oldUp) + tree(m_ifb, downLimit, oldDown);
    std::string detail;
    // The IFB's shaper exists before downloads are sent to it, and they stop
    // going there before it goes.
    bool ok = downLimit == 0 ? m_nft.run(nft.str(), detail) && (tc.empty() || runTc(tc, detail))
                             : (tc.empty() || runTc(tc, detail)) && m_nft.run(nft.str(), detail);
    if (!ok) {
        error = "kestrix-service: cannot apply the priorities and limits: " + detail;
        return false;
    }
    m_policySet = true;
    m_down = downLimit, m_up = upLimit;
    const std::string directory = stateDirectoryFor(m_settings.stateDirectory);
    if (demo::makeDirectories(directory))
        std::ofstream(directory + "/policy", std::ios::trunc) << (active ? 1 : 0) << " " << downLimit << " " << upLimit << "\n";
    return true;
}

bool LinuxBackend::savedPolicy(bool& active, std::uint32_t& downLimit, std::uint32_t& upLimit) const
{
    std::istringstream fields(readFile(stateDirectoryFor(m_settings.stateDirectory) + "/policy"));
    int on = 0;
    std::uint32_t down = 0, up = 0;
    if (!(fields >> on >> down >> up))
        return false;
    active = on != 0, downLimit = down, upLimit = up;
    return true;
}

void LinuxBackend::resolve(App& app, const std::string& leafPath)
{
    const UnitIdentity& identity = app.identity;
    std::vector<std::string> dataDirs = xdg::dataDirectories();
    std::vector<std::string> configDirs = xdg::configDirectories();
    if (identity.uid >= 0) {
        if (const passwd* user = ::getpwuid(static_cast<uid_t>(identity.uid))) {
            const auto own = xdg::userDataDirectories(user->pw_dir);
            dataDirs.insert(dataDirs.begin(), own.begin(), own.end());
            configDirs.insert(configDirs.begin(), std::string(user->pw_dir) + "/.config");
        }
    }
    const xdg::DesktopEntry entry = identity.kind == UnitKind::Application
                                            ? xdg::findDesktopEntry(identity.appId, dataDirs)
                                            : xdg::DesktopEntry();
    // Without a desktop file: the id, of a reverse-DNS id its last part ("org.gnome.Maps": "Maps").
    const std::size_t dots = std::count(identity.appId.begin(), identity.appId.end(), '.');
    app.name = !entry.name.empty() ? entry.name : dots >= 2 ? identity.appId.substr(identity.appId.rfind('.') + 1) : identity.appId;
    if (app.name.empty()) {
        // No id: the command of a process in it.
        std::istringstream pids(readFile(m_mount + "/" + leafPath + "/cgroup.procs"));
        std::string pid;
        if (pids >> pid)
            app.name = readFile("/proc/" + pid + "/comm");
        while (!app.name.empty() && app.name.back() == '\n')
            app.name.pop_back();
    }
    app.icon = xdg::findIcon(entry.icon, xdg::configuredIconTheme(configDirs), dataDirs);
    if (app.icon.empty() && !m_settings.iconDirectory.empty())
        app.icon = demo::ensureIcon(m_settings.iconDirectory, app.name, false);
}

void LinuxBackend::scan(Clock::time_point now)
{
    std::vector<std::string> leaves;
    const std::string start = m_root.size() > m_mount.size() ? m_root.substr(m_mount.size() + 1) : std::string();
    findLeaves(m_mount, start, leaves, static_cast<int>(std::count(start.begin(), start.end(), '/')) + (start.empty() ? 0 : 1));
    for (auto& entry : m_apps)
        entry.second->leaves.clear();
    for (const std::string& leaf : leaves) {
        const UnitIdentity identity = identifyCgroup(leaf);
        std::unique_ptr<App>& app = m_apps[identity.key];
        if (!app) {
            app = std::make_unique<App>();
            app->key = identity.key;
            app->identity = identity;
            app->id = idFor(identity.key);
            const Choice& choice = m_choices[identity.key];
            app->priority = choice.priority, app->pinned = choice.pinned;
            resolve(*app, leaf);
            for (std::uint32_t slot = 1; slot <= m_maxSlot && app->slot == 0; ++slot) {
                if (m_slots[slot] == nullptr)
                    m_slots[slot] = app.get(), app->slot = slot, m_chains.erase(slot);   // its chain is rewritten
            }
        }
        app->leaves.insert(leaf);
    }
    for (auto it = m_apps.begin(); it != m_apps.end();) {
        App& app = *it->second;
        if (app.leaves.empty() && now - app.lastActive > kLinger) {
            if (app.slot != 0)
                m_slots[app.slot] = nullptr, m_chains.erase(app.slot);
            it = m_apps.erase(it);
        } else {
            ++it;
        }
    }
}

void LinuxBackend::syncMaps()
{
    std::map<std::string, std::uint32_t> wanted;
    for (const auto& entry : m_apps) {
        for (const std::string& leaf : entry.second->leaves) {
            if (entry.second->slot != 0 && std::count(leaf.begin(), leaf.end(), '/') < kLevels)
                wanted[leaf] = entry.second->slot;
        }
    }
    if (wanted == m_mapped)
        return;
    std::ostringstream batch;
    for (const auto& entry : wanted) {
        if (m_chains.count(entry.second) == 0)
            batch << slotRules(*m_slots[entry.second]);
    }
    std::vector<std::string> elements(kLevels + 1);
    for (const auto& entry : wanted) {
        const auto level = std::count(entry.first.begin(), entry.first.end(), '/') + 1;
        std::string& list = elements[static_cast<std::size_t>(level)];
        list += (list.empty() ? "" : ", ") + ("\"" + m_nftPrefix + entry.first + "\" : jump a" + std::to_string(entry.second));
    }
    batch << "flush chain inet " << kTable << " classify\n";
    for (int level = 1; level <= kLevels; ++level) {
        batch << "flush map inet " << kTable << " lv" << level << "\n";
        if (elements[static_cast<std::size_t>(level)].empty())
            continue;
        batch << "add element inet " << kTable << " lv" << level << " { " << elements[static_cast<std::size_t>(level)] << " }\n"
              << "add rule inet " << kTable << " classify socket cgroupv2 level " << level << " vmap @lv" << level << "\n";
    }
    // One transaction: a cgroup that vanished since the scan fails it whole,
    // and the next tick tries again with what is there then.
    std::string error;
    if (m_nft.run(batch.str(), error)) {
        for (const auto& entry : wanted)
            m_chains.insert(entry.second);
        m_mapped = wanted;
    }
}

std::map<std::string, std::uint64_t> LinuxBackend::readSet(const std::string& set)
{
    // "elements = { KEY [expires T] counter packets P bytes B, ... }"
    std::map<std::string, std::uint64_t> counters;
    std::string output, error;
    if (!m_nft.run(std::string("list set inet ") + kTable + " " + set, error, &output))
        return counters;
    const auto open = output.find("elements = {");
    if (open == std::string::npos)
        return counters;
    std::istringstream elements(output.substr(open + 12, output.find('}', open) - open - 12));
    std::string element;
    while (std::getline(elements, element, ',')) {
        std::istringstream words(element);
        std::string key, word;
        unsigned long long bytes = 0;
        words >> key;
        while (words >> word && word != "bytes") {
        }
        if (words >> bytes)
            counters[key] = bytes;
    }
    return counters;
}

std::map<std::uint32_t, std::uint64_t> LinuxBackend::readCounters(const char* set)
{
    std::map<std::uint32_t, std::uint64_t> counters;
    for (const auto& entry : readSet(set))
        counters[static_cast<std::uint32_t>(std::stoul(entry.first, nullptr, 16)) >> m_markShift] = entry.second;
    return counters;
}

std::uint32_t LinuxBackend::idFor(const std::string& key)
{
    Choice& choice = m_choices[key];
    if (choice.id == 0) {
        choice.id = m_nextId++;
        saveChoices();
    }
    return choice.id;
}

// Sites are a second step: without log groups or these sets the
// applications still work, and the site table stays empty.
void LinuxBackend::startSites()
{
    constexpr std::uint16_t kGroup = 0x4b58;
    const std::string mask = hex(m_settings.markMask);
    std::ostringstream batch;
    for (const char* family : {"4", "6"}) {
        const std::string ip = family[0] == '4' ? "ip" : "ip6";
        batch << "add set inet " << kTable << " stx" << family << " { typeof " << ip
              << " daddr; flags dynamic,timeout; timeout 2m; counter; }\n"
              << "add set inet " << kTable << " srx" << family << " { typeof " << ip
              << " saddr; flags dynamic,timeout; timeout 2m; counter; }\n"
              << "add rule inet " << kTable << " out meta mark & " << mask << " != 0 update @stx" << family << " { " << ip
              << " daddr }\n"
              << "add rule inet " << kTable << " in ct mark & " << mask << " != 0 update @srx" << family << " { " << ip
              << " saddr }\n";
    }
    batch << "add rule inet " << kTable << " in udp sport 53 log group " << kGroup << " snaplen 1500\n";
    std::string error;
    auto dns = std::make_unique<DnsListener>();
    if (!dns->open(kGroup, error) || !m_nft.run(batch.str(), error)) {
        say("kestrix-service: sites are left out: " + error);
        return;
    }
    m_dns = std::move(dns);
}

void LinuxBackend::measureSites(Clock::time_point now, double seconds)
{
    if (!m_dns)
        return;
    m_dns->drain([&](const DnsAnswer& answer) {
        // Kept a while past its time to live: connections outlast it.
        const auto until = now + std::chrono::seconds(std::max<std::uint32_t>(answer.ttl, 60)) + std::chrono::minutes(10);
        for (const std::string& address : answer.addresses)
            m_names[address] = {siteOf(answer.name), until};
    });
    for (auto it = m_names.begin(); it != m_names.end();)
        it = it->second.second < now ? m_names.erase(it) : std::next(it);
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> bytes;   // site -> down, up
    for (const char* set : {"srx4", "srx6", "stx4", "stx6"}) {
        for (const auto& entry : readSet(set)) {
            std::uint64_t& last = m_addressBytes[std::string(set) + " " + entry.first];
            const std::uint64_t delta = counterDelta(last, entry.second);
            last = entry.second;
            const auto name = m_names.find(entry.first);
            if (name != m_names.end())
                (set[1] == 'r' ? bytes[name->second.first].first : bytes[name->second.first].second) += delta;
        }
    }
    for (auto& entry : m_sites)
        entry.second.down = entry.second.up = 0;
    for (const auto& entry : bytes) {
        Site& site = m_sites[entry.first];
        if (site.id == 0) {
            const Choice& choice = m_choices[std::string("site:") + entry.first];
            site.id = idFor("site:" + entry.first), site.priority = choice.priority, site.pinned = choice.pinned;
        }
        site.down = kbitPerSecond(entry.second.first, seconds), site.up = kbitPerSecond(entry.second.second, seconds);
        if (site.down != 0 || site.up != 0)
            site.lastActive = now;
    }
    for (auto it = m_sites.begin(); it != m_sites.end();) {
        if (now - it->second.lastActive > kLinger) {
            it = m_sites.erase(it);
            continue;
        }
        demo::Flow flow;
        flow.site = true, flow.id = it->second.id, flow.name = it->first;
        flow.priority = it->second.priority, flow.pinned = it->second.pinned;
        flow.down = it->second.down, flow.up = it->second.up;
        m_flows.push_back(flow);
        ++it;
    }
}

void LinuxBackend::step()
{
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - m_lastStep).count();
    m_lastStep = now;
    scan(now);
    syncMaps();
    const auto tx = readCounters("tx"), rx = readCounters("rx");
    m_flows.clear();
    for (auto& entry : m_apps) {
        App& app = *entry.second;
        if (app.slot != 0) {
            const auto sent = tx.find(app.slot), received = rx.find(app.slot);
            app.up = sent != tx.end() ? m_txMeter.read(app.slot, sent->second, seconds) : 0;
            app.down = received != rx.end() ? m_rxMeter.read(app.slot, received->second, seconds) : 0;
            if (app.up != 0 || app.down != 0)
                app.lastActive = now;
        }
        demo::Flow flow;
        flow.id = app.id, flow.name = app.name, flow.iconPath = app.icon;
        flow.priority = app.priority, flow.pinned = app.pinned;
        flow.processClass = static_cast<std::uint32_t>(app.identity.kind);
        flow.down = app.down, flow.up = app.up;
        m_flows.push_back(flow);
    }
    std::sort(m_flows.begin(), m_flows.end(), [](const demo::Flow& a, const demo::Flow& b) { return a.id < b.id; });
    measureSites(now, seconds);
    m_totalUp = m_ifTx.read(0, interfaceCounter(m_interface, true), seconds);
    m_totalDown = m_ifRx.read(0, interfaceCounter(m_interface, false), seconds);
}

void LinuxBackend::setChoice(std::uint32_t id, bool site, std::uint32_t priority, bool pinned)
{
    // A site's choice is kept and shown; its traffic is shaped by its application's class.
    for (auto& entry : m_sites) {
        if (site && entry.second.id == id) {
            entry.second.priority = priority, entry.second.pinned = pinned;
            Choice& choice = m_choices["site:" + entry.first];
            choice.priority = priority, choice.pinned = pinned;
            saveChoices();
        }
    }
    if (site)
        return;
    for (auto& entry : m_apps) {
        App& app = *entry.second;
        if (app.id != id)
            continue;
        const bool moved = app.priority != priority;
        app.priority = priority, app.pinned = pinned;
        Choice& choice = m_choices[app.key];
        choice.priority = priority, choice.pinned = pinned;
        saveChoices();
        std::string error;
        // The chain and the learned download flows change in one transaction.
        if (moved && app.slot != 0 && m_chains.count(app.slot) != 0
            && !m_nft.run(slotRules(app) + "flush map netdev " + kDownTable + " flows\n", error))
            say("kestrix-service: cannot move " + app.name + ": " + error);
        return;
    }
}

void LinuxBackend::loadChoices()
{
    std::istringstream lines(readFile(stateDirectoryFor(m_settings.stateDirectory) + "/applications"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Choice choice;
        int pinned = 0;
        std::string key;
        if (fields >> choice.id >> choice.priority >> pinned && std::getline(fields >> std::ws, key) && choice.id != 0) {
            choice.pinned = pinned != 0;
            m_choices[key] = choice;
            m_nextId = std::max(m_nextId, choice.id + 1);
        }
    }
}

void LinuxBackend::saveChoices()
{
    const std::string directory = stateDirectoryFor(m_settings.stateDirectory);
    if (!demo::makeDirectories(directory))
        return;
    const std::string path = directory + "/applications", temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        for (const auto& entry : m_choices)
            file << entry.second.id << " " << entry.second.priority << " " << (entry.second.pinned ? 1 : 0) << " "
                 << entry.first << "\n";
        if (!file)
            return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

} // namespace linuxbackend
