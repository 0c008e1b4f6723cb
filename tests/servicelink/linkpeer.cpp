// linkpeer: the other process of the cross-process tests.
//
// Each sub-command plays one peer of the link against the object directory
// named by $KESTRIX_IPC_DIR:
//
//   hold-mutex                 lock the link mutex, say "held", sleep until killed
//   hammer N [COUNTER]         say "ready", wait for a line on stdin, then N times:
//                              lock, read the u64 at offset 16 of region COUNTER,
//                              add 1, write it back, unlock; say "done"
//   set-event [COUNT] [--delay-ms MS]
//                              set the client event COUNT times (default 1), say "set"
//   wait-event MS...           say "waiting", then wait on the client event once
//                              per argument and say "signalled" or "timeout"
//   service [--apps N] [--first-app ID] [--stall-after-ms MS] [--add-apps-first]
//                              a small traffic service on ServiceLink (see runService);
//                              says "ready" once published, "took app ID priority P
//                              down D up U" for each application write of the program
//                              it takes over, "added app ID" / "removed app ID",
//                              "answered active V", "stalled" and "stopping"
//
// Every line goes to stdout and is flushed at once: the test reads them to
// know where the peer is. Diagnostics go to stderr. Plain C++, no Qt.

#include "servicelink/callback.h"
#include "servicelink/objectnames.h"
#include "servicelink/records.h"
#include "servicelink/velcomm.h"

#include "platform/faultguard.h"
#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/namedobject.h"
#include "platform/sharedregion.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace servicelink;

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

// Offset of the hammered counter: right behind a region header.
constexpr std::uint64_t kCounterOffset = 16;

void say(const std::string& line)
{
    std::cout << line << std::endl;   // endl flushes: the test waits for the line
}

int fail(const std::string& why)
{
    std::cerr << "linkpeer: " << why << std::endl;
    return kExitFailure;
}

bool parseNumber(const char* text, std::uint64_t& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = parsed;
    return true;
}

platform::NamedMutex openLinkMutex(std::string& why)
{
    return platform::NamedMutex::openOrCreate(platform::objectPath(kLinkMutexName), why);
}

platform::NamedEvent openClientEvent(std::string& why)
{
    return platform::NamedEvent::openOrCreate(platform::objectPath(kClientEventName), why);
}

// --- hold-mutex ---

int holdMutex()
{
    std::string why;
    platform::NamedMutex mutex = openLinkMutex(why);
    if (!mutex.isValid())
        return fail("link mutex: " + why);
    mutex.lock();
    say("held");
    for (;;)
        ::pause();   // until a signal ends the process; the kernel drops the lock
}

// --- hammer ---

int hammer(std::uint64_t rounds, const std::string& counterName)
{
    std::string why;
    platform::NamedMutex mutex = openLinkMutex(why);
    if (!mutex.isValid())
        return fail("link mutex: " + why);

    platform::SharedRegion counter;
    {
        // Created and grown under the mutex: a second hammer must not find
        // the file between its creation and its growth.
        platform::NamedMutexLocker lock(mutex);
        counter = platform::SharedRegion::create(platform::objectPath(counterName), 0600, why);
        if (!counter.isValid())
            return fail("counter region: " + why);
        const int error = counter.commit(kCounterOffset + sizeof(std::uint64_t));
        if (error != 0)
            return fail("counter region: commit failed, errno " + std::to_string(error));
    }

    say("ready");
    std::string go;
    std::getline(std::cin, go);   // the start line, or end of input

    std::uint8_t* const slot = counter.base() + kCounterOffset;
    for (std::uint64_t i = 0; i < rounds; ++i) {
        platform::NamedMutexLocker lock(mutex);
        std::uint64_t value = 0;
        if (!platform::guardedRead(&value, slot, sizeof value))
            return fail("counter region shrank");
        ++value;
        // Give the processor away between the read and the write: a mutex
        // that does not exclude the other hammer then loses updates for sure.
        sched_yield();
        if (!platform::guardedWrite(slot, &value, sizeof value))
            return fail("counter region shrank");
    }
    say("done");
    return 0;
}

// --- events ---

int setEvent(std::uint64_t count, std::uint64_t delayMs)
{
    std::string why;
    platform::NamedEvent event = openClientEvent(why);
    if (!event.isValid())
        return fail("client event: " + why);
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!event.set())
            return fail("setting the client event failed");
    }
    say("set");
    return 0;
}

int waitEvent(const std::vector<std::uint64_t>& timeouts)
{
    std::string why;
    platform::NamedEvent event = openClientEvent(why);
    if (!event.isValid())
        return fail("client event: " + why);
    say("waiting");
    for (const std::uint64_t timeoutMs : timeouts) {
        switch (event.wait(static_cast<int>(timeoutMs))) {
        case platform::NamedEvent::WaitResult::Signalled:
            say("signalled");
            break;
        case platform::NamedEvent::WaitResult::TimedOut:
            say("timeout");
            break;
        case platform::NamedEvent::WaitResult::Failed:
            return fail("waiting on the client event failed");
        }
    }
    return 0;
}

// --- service ---

volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_wakeFd = -1;   // the client event's descriptor while the service runs

// Sets the stop flag and the client event, so that a service asleep in its
// wait notices at once. write() is async-signal-safe.
extern "C" void requestStop(int)
{
    const int savedErrno = errno;
    g_stopRequested = 1;
    if (g_wakeFd >= 0) {
        const char byte = 1;
        const ssize_t written = ::write(g_wakeFd, &byte, 1);
        (void)written;   // a full pipe is set already
    }
    errno = savedErrno;
}

struct ServiceOptions {
    std::uint64_t apps = 3;
    std::uint64_t firstApp = 1;
    std::uint64_t stallAfterMs = 0;   // 0: never
    bool addAppsFirst = false;
};

// Speeds the service reports for an application at a heartbeat; the test
// recognises them by their range (id * 1000 ... id * 1000 + 999).
std::uint32_t downloadSpeedFor(std::uint32_t id, std::uint32_t beat)
{
    return id * 1000u + beat % 1000u;
}

std::uint32_t uploadSpeedFor(std::uint32_t id, std::uint32_t beat)
{
    return id * 100u + beat % 100u;
}

// The service's end of the reports: answers the requested active state and
// says which applications the program wrote, added or removed.
class ServiceCallback final : public Callback {
public:
    explicit ServiceCallback(ServiceLink& link) : m_link(link) {}

    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override
    {
        if (id == kParameterRequestedActive) {
            // A parameter report may write: answer with the actual state.
            m_link.controlCenterSetParameter(kParameterActualActive, value);
            say("answered active " + std::to_string(value));
        }
        return 0;
    }

    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override
    {
        say("took app " + std::to_string(id) + " priority " + std::to_string(info.priority)
            + " down " + std::to_string(info.downloadSpeed) + " up "
            + std::to_string(info.uploadSpeed));
        return 0;
    }

    std::int32_t onAppAdd(std::uint32_t id, const AppInfo&) override
    {
        say("added app " + std::to_string(id));
        return 0;
    }

    std::int32_t onAppRemoved(std::uint32_t id) override
    {
        say("removed app " + std::to_string(id));
        return 0;
    }

private:
    ServiceLink& m_link;
};

AppInfo serviceApp(std::uint32_t id, std::uint32_t beat)
{
    AppInfo info{};
    info.id = id;
    info.priority = 4;
    info.processClass = 1;
    info.downloadSpeed = downloadSpeedFor(id, beat);
    info.uploadSpeed = uploadSpeedFor(id, beat);
    const std::string name = "app" + std::to_string(id);
    textToField(info.name, std::u16string(name.begin(), name.end()));
    return info;
}

int addApps(ServiceLink& link, const ServiceOptions& options, std::uint32_t beat)
{
    for (std::uint64_t i = 0; i < options.apps; ++i) {
        const auto id = static_cast<std::uint32_t>(options.firstApp + i);
        if (link.addApplication(serviceApp(id, beat)) == -1)
            return fail("adding application " + std::to_string(id) + " failed");
    }
    return 0;
}

// One heartbeat: the beat, then fresh speeds for every application. Runs
// under the link mutex (recursive, shared by every handle of this process),
// so the program cannot write between the read of an application and the
// write of its new speeds: the priority written back is the latest one.
int beat(ServiceLink& link, platform::NamedMutex& mutex, std::uint32_t heartbeat)
{
    platform::NamedMutexLocker lock(mutex);
    link.poll();
    if (link.controlCenterSetParameter(kParameterHeartbeat, heartbeat) == -1)
        return fail("heartbeat write failed");
    std::vector<std::uint32_t> ids;
    link.listApplicationIds(ids);
    for (const std::uint32_t id : ids) {
        AppInfo info{};
        if (link.getApplication(id, info) == -1)
            continue;
        info.downloadSpeed = downloadSpeedFor(id, heartbeat);
        info.uploadSpeed = uploadSpeedFor(id, heartbeat);
        if (link.controlCenterModifyApplication(info) == -1)
            return fail("speed update of application " + std::to_string(id) + " failed");
    }
    return 0;
}

// The service: objects, registration, a new epoch, parameters 0, 1 and 2
// and the applications; then a heartbeat (with new speeds) every 50 ms until
// SIGTERM, waking early for the program's writes. A stalled service has no
// heartbeat to keep: it sleeps on the client event for long, so only the
// event set by a writing program (or SIGTERM) wakes it in time.
int runService(const ServiceOptions& options)
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    ServiceLink link;
    if (link.createObjects() != 0)
        return fail("creating the objects failed");
    ServiceCallback callback(link);
    if (link.vlcommRegister(&callback) != 0)
        return fail("registration failed");
    if (!link.clientEvent().isValid())
        return fail("no client event");
    g_wakeFd = link.clientEvent().fd();
    struct WakeFdReset {
        ~WakeFdReset() { g_wakeFd = -1; }   // before the link closes the event
    } wakeFdReset;
    std::string why;
    platform::NamedMutex mutex = openLinkMutex(why);
    if (!mutex.isValid())
        return fail("link mutex: " + why);

    std::uint32_t heartbeat = 1;
    {
        platform::NamedMutexLocker lock(mutex);
        if (link.beginNewEpoch() != 0)
            return fail("starting a new epoch failed");
        if (options.addAppsFirst) {
            // Straight after the new epoch, as a service that has nothing
            // else to publish first would do.
            if (addApps(link, options, heartbeat) != 0)
                return kExitFailure;
        } else {
            // Take the new epoch into this side's own mirrors first.
            link.poll();
        }
        if (link.controlCenterSetParameter(kParameterRequestedActive, 0) == -1
            || link.controlCenterSetParameter(kParameterActualActive, 0) == -1
            || link.controlCenterSetParameter(kParameterHeartbeat, heartbeat) == -1)
            return fail("publishing the parameters failed");
        if (!options.addAppsFirst && addApps(link, options, heartbeat) != 0)
            return kExitFailure;
    }
    say("ready");

    using Clock = std::chrono::steady_clock;
    constexpr auto kBeatInterval = std::chrono::milliseconds(50);
    constexpr int kStalledWaitMs = 30000;
    const auto started = Clock::now();
    auto nextBeat = started + kBeatInterval;
    bool stalled = false;

    while (g_stopRequested == 0) {
        const auto now = Clock::now();
        if (!stalled && options.stallAfterMs > 0
            && now - started >= std::chrono::milliseconds(options.stallAfterMs)) {
            stalled = true;
            say("stalled");
        }
        if (!stalled && now >= nextBeat) {
            ++heartbeat;
            if (beat(link, mutex, heartbeat) != 0)
                return kExitFailure;
            nextBeat = now + kBeatInterval;
        }
        const long long untilBeat =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextBeat - Clock::now()).count();
        const int timeoutMs =
            stalled ? kStalledWaitMs : static_cast<int>(std::clamp<long long>(untilBeat, 1, 50));
        if (link.clientEvent().wait(timeoutMs) == platform::NamedEvent::WaitResult::Failed)
            return fail("waiting on the client event failed");
        link.poll();
    }
    say("stopping");
    return 0;
}

int usage()
{
    std::cerr << "usage: linkpeer hold-mutex | hammer N [COUNTER] | set-event [COUNT] [--delay-ms MS]"
                 " | wait-event MS... | service [--apps N] [--first-app ID] [--stall-after-ms MS]"
                 " [--add-apps-first]"
              << std::endl;
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    // Never outlive the test that started us, whatever becomes of it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return kExitFailure;

    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);

    if (command == "hold-mutex" && args.empty())
        return holdMutex();

    if (command == "hammer" && (args.size() == 1 || args.size() == 2)) {
        std::uint64_t rounds = 0;
        if (!parseNumber(args[0].c_str(), rounds))
            return usage();
        return hammer(rounds, args.size() == 2 ? args[1] : "hammer-counter");
    }

    if (command == "set-event") {
        std::uint64_t count = 1;
        std::uint64_t delayMs = 0;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--delay-ms" && i + 1 < args.size()) {
                if (!parseNumber(args[++i].c_str(), delayMs))
                    return usage();
            } else if (!parseNumber(args[i].c_str(), count)) {
                return usage();
            }
        }
        return setEvent(count, delayMs);
    }

    if (command == "wait-event" && !args.empty()) {
        std::vector<std::uint64_t> timeouts;
        for (const std::string& arg : args) {
            std::uint64_t timeoutMs = 0;
            if (!parseNumber(arg.c_str(), timeoutMs) || timeoutMs > 600000)
                return usage();
            timeouts.push_back(timeoutMs);
        }
        return waitEvent(timeouts);
    }

    if (command == "service") {
        ServiceOptions options;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& option = args[i];
            if (option == "--add-apps-first") {
                options.addAppsFirst = true;
                continue;
            }
            std::uint64_t* target = nullptr;
            if (option == "--apps")
                target = &options.apps;
            else if (option == "--first-app")
                target = &options.firstApp;
            else if (option == "--stall-after-ms")
                target = &options.stallAfterMs;
            else
                return usage();
            if (i + 1 >= args.size() || !parseNumber(args[++i].c_str(), *target))
                return usage();
        }
        if (options.firstApp == 0 || options.apps > 1000 || options.firstApp + options.apps > 1000000)
            return usage();
        return runService(options);
    }

    return usage();
}
