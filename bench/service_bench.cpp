// Figures for kestrix-service: the CPU it uses while a command center polls
// it, and how long a client's write waits before the service takes it over.
//
//   service_bench PATH-TO-kestrix-service [SECONDS] [-- service options...]
//
// Starts the service in a private object directory, registers a Client that
// polls every 200 ms like the command center, measures the service's CPU
// time over SECONDS (default 30), then times 200 parameter writes from the
// write until the service's "took parameter" line arrives.

#include "servicelink/velcomm.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string buffer;

    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
    }

    // The next line, or false after @p timeoutMs.
    bool readLine(std::string& line, int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto end = buffer.find('\n');
            if (end != std::string::npos) {
                line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd watched{out, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[4096];
            const ssize_t got = ::read(out, chunk, sizeof chunk);
            if (got <= 0)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }
};

bool start(Child& child, const std::string& program, const std::vector<std::string>& options)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    child.pid = ::fork();
    if (child.pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& option : options)
            argv.push_back(const_cast<char*>(option.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    child.out = pipeFds[0];
    return child.pid > 0;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces, start after ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH-TO-kestrix-service [SECONDS] [-- options...]\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    int seconds = 30;
    std::vector<std::string> options;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            options.assign(argv + i + 1, argv + argc);
            break;
        }
        seconds = std::atoi(argv[i]);
    }

    char pattern[] = "/tmp/kestrix-service-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return 1;
    const std::string directory = pattern;
    ::setenv("KESTRIX_IPC_DIR", directory.c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (directory + "/cache").c_str(), 1);

    int result = 0;
    {
        Child service;
        if (!start(service, program, options)) {
            std::fprintf(stderr, "cannot start %s\n", program.c_str());
            return 1;
        }
        std::string line;
        if (!service.readLine(line, 10000)) {
            std::fprintf(stderr, "the service did not start\n");
            return 1;
        }
        std::printf("%s\n", line.c_str());

        servicelink::Client client;
        client.setObjectDirectory(directory);
        if (client.vlcommRegister(nullptr) != 0) {
            std::fprintf(stderr, "cannot register\n");
            return 1;
        }

        // CPU while the command center polls every 200 ms.
        const double cpuBefore = cpuSeconds(service.pid);
        const auto began = Clock::now();
        while (Clock::now() - began < std::chrono::seconds(seconds)) {
            client.poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        const double wall = std::chrono::duration<double>(Clock::now() - began).count();
        const double cpu = cpuSeconds(service.pid) - cpuBefore;
        std::printf("cpu: %.2f s over %.1f s = %.2f %% of one core\n", cpu, wall, 100.0 * cpu / wall);

        // Write to take-over.
        std::vector<double> latencies;
        for (std::uint32_t i = 0; i < 200; ++i) {
            const std::uint32_t value = 1000000 + i;
            client.poll();
            const auto written = Clock::now();
            client.controlCenterSetParameter(4, value);
            const std::string expected = "value " + std::to_string(value);
            bool seen = false;
            while (!seen && service.readLine(line, 2000))
                seen = line.find("took parameter 4") != std::string::npos
                       && line.compare(line.size() - expected.size(), expected.size(), expected) == 0;
            if (!seen) {
                std::fprintf(stderr, "write %u was not taken over\n", i);
                result = 1;
                break;
            }
            latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - written).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(7));
        }
        if (!latencies.empty())
            std::printf("write to take-over: median %.3f ms, p95 %.3f ms, max %.3f ms (%zu writes)\n",
                        percentile(latencies, 0.5), percentile(latencies, 0.95),
                        percentile(latencies, 1.0), latencies.size());
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return result;
}
