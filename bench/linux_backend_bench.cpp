// Figures for kestrix-service --backend linux, as root, in two network
// namespaces joined by a veth pair (198.18.0.0/15 only):
//
//   linux_backend_bench PATH-TO-kestrix-service [SECONDS]
//
// 1. the service's CPU over SECONDS (default 30) with 200 applications (cgroups
//    with a process each) and 1,000 UDP sockets sending a little every second,
//    updating once a second, a command center polling every 200 ms;
// 2. the time from a priority write to the changed shares of two downloads
//    at 10 Mbit/s (first 50 ms interval in which the new critical one gets 75 %);
// 3. one TCP stream's throughput over the veth without the service, with its
//    counting rules only (no limit), and with the shapers at 10 Gbit/s.

#include "servicelink/velcomm.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const std::string kId = std::to_string(::getpid());
const std::string kLan = "kxblan" + kId, kWan = "kxbwan" + kId;
std::string g_cgroups, g_mount, g_service, g_objects;

int sh(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Creates a socket with this thread in namespace @p ns and this process in @p cgroup.
int make(const std::string& ns, const std::string& cgroup, const std::function<int()>& create)
{
    const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int other = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    ::setns(other, CLONE_NEWNET);
    if (!cgroup.empty())
        std::ofstream(cgroup + "/cgroup.procs") << ::getpid();
    const int fd = create();
    if (!cgroup.empty())
        std::ofstream(g_mount + "/cgroup.procs") << ::getpid();
    ::setns(self, CLONE_NEWNET);
    ::close(self), ::close(other);
    return fd;
}

sockaddr_in address(const char* text, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, text, &a.sin_addr);
    return a;
}

// A TCP connection from an application in the lan namespace to the wan one:
// {application's end, far end}, both non-blocking.
std::pair<int, int> connection(const std::string& cgroup)
{
    const int server = make(kWan, {}, [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in any = address("0.0.0.0", 0);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
        ::listen(fd, 1);
        return fd;
    });
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(server, reinterpret_cast<sockaddr*>(&bound), &length);
    const sockaddr_in to = address("198.18.0.2", ntohs(bound.sin_port));
    const int near = make(kLan, cgroup, [&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return fd;
    });
    const int far = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(server);
    for (int fd : {near, far})
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return {near, far};
}

// Moves data from each sender to its receiver for @p seconds; bytes received per pair.
std::vector<unsigned long long> pump(const std::vector<std::pair<int, int>>& pairs, double seconds)
{
    static char buffer[65536];
    std::vector<unsigned long long> received(pairs.size());
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        bool moved = false;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            moved |= ::send(pairs[i].first, buffer, sizeof buffer, MSG_NOSIGNAL) > 0;
            for (ssize_t n; (n = ::recv(pairs[i].second, buffer, sizeof buffer, 0)) > 0; moved = true)
                received[i] += static_cast<unsigned long long>(n);
        }
        if (!moved)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return received;
}

struct Service {
    pid_t pid = -1;
    explicit Service(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args{"nsenter", "--net=/run/netns/" + kLan, g_service, "--backend", "linux", "--interface",
                                      "kx0", "--cgroup-root", g_cgroups, "--state-dir", g_objects + "/state", "--icon-dir",
                                      g_objects + "/icons"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::fflush(nullptr);   // the child must not print this process's buffered lines again
        pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(&arg[0]);
            argv.push_back(nullptr);
            ::setenv("KESTRIX_IPC_DIR", g_objects.c_str(), 1);
            ::freopen("/dev/null", "w", stdout);
            ::execvp("nsenter", argv.data());
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }
    ~Service()
    {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    double cpuSeconds() const
    {
        std::istringstream fields(readFile("/proc/" + std::to_string(pid) + "/stat"));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 1; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
    }
};

std::uint32_t applicationId(servicelink::Client& client, const std::u16string& name)
{
    std::vector<std::uint32_t> ids;
    client.poll();
    client.listApplicationIds(ids);
    for (std::uint32_t id : ids) {
        servicelink::AppInfo info{};
        client.getApplication(id, info);
        if (servicelink::textFromField(info.name) == name)
            return id;
    }
    return 0;
}

void setPriority(servicelink::Client& client, std::uint32_t id, std::uint32_t priority)
{
    servicelink::AppInfo info{};
    client.getApplication(id, info);
    info.priority = priority;
    client.controlCenterModifyApplication(info);
}

struct Quiet : servicelink::Callback {};   // the figures need no reports

void cpuFigure(double seconds)
{
    std::vector<pid_t> sleepers;
    std::vector<int> sockets;
    const int sink = make(kWan, {}, [] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const sockaddr_in any = address("0.0.0.0", 9);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
        return fd;
    });
    const sockaddr_in to = address("198.18.0.2", 9);
    for (int app = 0; app < 200; ++app) {
        const std::string cgroup = g_cgroups + "/app-kxbench-org.kestrix.Bench" + std::to_string(app) + "-" + kId + ".scope";
        sh("mkdir -p '" + cgroup + "'");
        const pid_t pid = ::fork();
        if (pid == 0)
            ::execl("/bin/sleep", "sleep", "600", nullptr), ::_exit(1);
        sleepers.push_back(pid);
        std::ofstream(cgroup + "/cgroup.procs") << pid;
        for (int i = 0; i < 5; ++i)
            sockets.push_back(make(kLan, cgroup, [&] {
                const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
                return fd;
            }));
    }
    {
        Service service({"--down-limit", "100000", "--up-limit", "100000"});
        servicelink::Client client;
        Quiet callback;
        client.setObjectDirectory(g_objects);
        client.vlcommRegister(&callback);
        const double before = service.cpuSeconds();
        const auto start = Clock::now();
        char buffer[2048] = {};
        for (auto next = start; Clock::now() - start < std::chrono::duration<double>(seconds);) {
            next += std::chrono::milliseconds(200);
            client.poll();
            static int round = 0;
            if (++round % 5 == 0) {   // every socket sends 200 bytes a second
                for (int fd : sockets)
                    ::send(fd, buffer, 200, 0);
            }
            while (::recv(sink, buffer, sizeof buffer, 0) > 0) {
            }
            std::this_thread::sleep_until(next);
        }
        const double used = service.cpuSeconds() - before;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        std::vector<std::uint32_t> ids;
        client.listApplicationIds(ids);
        std::printf("CPU: %.2f %% of one core over %.0f s with %zu applications published, %zu sockets\n",
                    100 * used / elapsed, elapsed, ids.size(), sockets.size());
    }
    for (int fd : sockets)
        ::close(fd);
    ::close(sink);
    for (pid_t pid : sleepers)
        ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
    sh("rmdir " + g_cgroups + "/app-kxbench-org.kestrix.Bench*");
}

void swapFigure()
{
    std::string cgroups[2];
    pid_t sleepers[2];
    for (int app = 0; app < 2; ++app) {
        cgroups[app] = g_cgroups + "/app-kxbench-org.kestrix.Swap" + std::to_string(app) + "-" + kId + ".scope";
        sh("mkdir -p '" + cgroups[app] + "'");
        sleepers[app] = ::fork();
        if (sleepers[app] == 0)
            ::execl("/bin/sleep", "sleep", "600", nullptr), ::_exit(1);
        std::ofstream(cgroups[app] + "/cgroup.procs") << sleepers[app];
    }
    {
        Service service({"--down-limit", "10000", "--up-limit", "10000"});
        servicelink::Client client;
        Quiet callback;
        client.setObjectDirectory(g_objects);
        client.vlcommRegister(&callback);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::uint32_t ids[2] = {applicationId(client, u"Swap0"), applicationId(client, u"Swap1")};
        std::vector<std::pair<int, int>> downloads;
        for (int app = 0; app < 2; ++app) {
            const auto c = connection(cgroups[app]);
            downloads.emplace_back(c.second, c.first);   // the far end sends
        }
        std::vector<double> times;
        for (int round = 0; round < 6; ++round) {
            const int critical = round % 2;
            pump(downloads, 2);
            setPriority(client, ids[critical], 1);
            setPriority(client, ids[1 - critical], 4);
            const auto written = Clock::now();
            for (int i = 0; i < 60; ++i) {
                const auto got = pump(downloads, 0.05);
                if (got[critical] >= 0.75 * (got[0] + got[1]) && got[0] + got[1] > 0) {
                    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - written).count());
                    break;
                }
            }
        }
        std::sort(times.begin(), times.end());
        if (times.empty())
            std::printf("priority write -> shares: never changed within 3 s\n");
        else
            std::printf("priority write -> shares changed: median %.0f ms, max %.0f ms (%zu of 6 swaps, 50 ms resolution)\n",
                        times[times.size() / 2], times.back(), times.size());
        for (auto& pair : downloads)
            ::close(pair.first), ::close(pair.second);
    }
    for (pid_t pid : sleepers)
        ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
}

void throughputFigure()
{
    const std::string cgroup = g_cgroups + "/app-kxbench-org.kestrix.Stream-" + kId + ".scope";
    sh("mkdir -p '" + cgroup + "'");
    const pid_t sleeper = ::fork();
    if (sleeper == 0)
        ::execl("/bin/sleep", "sleep", "600", nullptr), ::_exit(1);
    std::ofstream(cgroup + "/cgroup.procs") << sleeper;
    const auto measure = [&](const char* what) {
        for (const bool upload : {true, false}) {
            const auto c = connection(cgroup);
            std::vector<std::pair<int, int>> pair{upload ? c : std::make_pair(c.second, c.first)};
            pump(pair, 1);
            const double bits = double(pump(pair, 4)[0]) * 8 / 4;
            std::printf("  %-32s %-8s %6.2f Gbit/s\n", what, upload ? "upload" : "download", bits / 1e9);
            ::close(c.first), ::close(c.second);
        }
    };
    std::printf("one TCP stream over the veth:\n");
    measure("without the service");
    {
        Service service({});
        measure("counting rules only (no limit)");
    }
    {
        Service service({"--down-limit", "10000000", "--up-limit", "10000000"});
        measure("counting and shaping at 10 Gbit/s");
    }
    ::kill(sleeper, SIGKILL), ::waitpid(sleeper, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || ::geteuid() != 0) {
        std::fprintf(stderr, "usage (as root): %s PATH-TO-kestrix-service [SECONDS]\n", argv[0]);
        return 2;
    }
    g_service = argv[1];
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30;
    char objects[] = "/tmp/kxbench-XXXXXX";
    g_objects = ::mkdtemp(objects);
    g_mount = readFile("/proc/self/mountinfo");
    {
        std::istringstream lines(g_mount);
        std::string line;
        g_mount.clear();
        while (std::getline(lines, line) && g_mount.empty()) {
            if (line.find(" - cgroup2 ") != std::string::npos) {
                std::istringstream fields(line);
                std::string skip;
                fields >> skip >> skip >> skip >> skip >> g_mount;
            }
        }
    }
    g_cgroups = g_mount + "/kxbench-" + kId;
    if (sh("ip netns add " + kLan + " && ip netns add " + kWan + " && ip link add kx0 netns " + kLan
           + " type veth peer name kx1 netns " + kWan)
            != 0
        || sh("mkdir -p " + g_cgroups) != 0) {
        std::fprintf(stderr, "cannot create the namespaces or the cgroup root\n");
        return 1;
    }
    for (const auto& [ns, end, host] : {std::tuple{kLan, "kx0", "1"}, std::tuple{kWan, "kx1", "2"}})
        sh("ip -n " + ns + " link set lo up && ip -n " + ns + " link set " + end + " up && ip -n " + ns
           + " addr add 198.18.0." + host + "/24 dev " + end);
    cpuFigure(seconds);
    swapFigure();
    throughputFigure();
    sh("ip netns del " + kLan + "; ip netns del " + kWan + "; rmdir " + g_cgroups + "/*/ " + g_cgroups + "; rm -rf "
       + g_objects);
    return 0;
}
