// Benchmarks of the service link's hot paths: the idle poll a client makes
// many times a second, a pull that takes over a whole application table, a
// publish of the application table, and one application modification.
//
// Every benchmark runs a ServiceLink and a Client in this process over a
// private object directory made with mkdtemp under $TMPDIR (default /tmp)
// and removed at the end. The service writes its tables with its batch
// writes, which publish a whole table once.

#include "servicelink/callback.h"
#include "servicelink/objectnames.h"
#include "servicelink/records.h"
#include "servicelink/velcomm.h"

#include "platform/filedescriptor.h"
#include "platform/log.h"
#include "platform/namedobject.h"
#include "platform/privatedirectory.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace servicelink;

// --- Fixtures ---------------------------------------------------------------

// One region file opened the way a peer process would open it, to check
// what the link wrote.
class RegionFile {
public:
    RegionFile(const std::string& directory, const char* name)
        : m_fd(::open(platform::objectPath(directory, name).c_str(), O_RDONLY | O_CLOEXEC))
    {
    }

    bool readHeader(RegionHeader& header) const
    {
        return m_fd.isValid()
               && ::pread(m_fd.get(), &header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
    }

private:
    platform::FileDescriptor m_fd;
};

// Counts every report; the application payloads are read so that a report
// costs what a real receiver's first look at the record costs.
class CountingCallback final : public Callback {
public:
    std::int32_t onActiveStateChanged(std::uint32_t, std::uint32_t, bool) override
    {
        ++activeState;
        return 0;
    }
    std::int32_t onParameterChanged(std::uint32_t, std::uint32_t) override { return count(); }
    std::int32_t onParameterAdd(std::uint32_t, std::uint32_t) override { return count(); }
    std::int32_t onParameterRemoved(std::uint32_t) override { return count(); }
    std::int32_t onStringChanged(std::uint32_t, const std::u16string&) override { return count(); }
    std::int32_t onStringAdd(std::uint32_t, const std::u16string&) override { return count(); }
    std::int32_t onStringRemoved(std::uint32_t) override { return count(); }
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override
    {
        ++appChanged;
        checksum += id + info.downloadSpeed + info.name[0];
        return 0;
    }
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override
    {
        ++appAdded;
        checksum += id + info.downloadSpeed + info.name[0];
        return 0;
    }
    std::int32_t onAppRemoved(std::uint32_t) override
    {
        ++appRemoved;
        return 0;
    }
    std::int32_t onSiteChanged(std::uint32_t, const SiteInfo&) override { return count(); }
    std::int32_t onSiteAdd(std::uint32_t, const SiteInfo&) override { return count(); }
    std::int32_t onSiteRemoved(std::uint32_t) override { return count(); }

    std::uint64_t total() const { return activeState + appChanged + appAdded + appRemoved + other; }

    std::uint64_t activeState = 0;
    std::uint64_t appChanged = 0;
    std::uint64_t appAdded = 0;
    std::uint64_t appRemoved = 0;
    std::uint64_t other = 0;
    std::uint64_t checksum = 0;

private:
    std::int32_t count()
    {
        ++other;
        return 0;
    }
};

// Minor page faults of the calling thread so far. A fault costs about a
// microsecond, so the benchmarks report how many fell into the timed part.
long minorFaults()
{
    rusage usage{};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0)
        return 0;
    return usage.ru_minflt;
}

benchmark::Counter perIteration(long value)
{
    return benchmark::Counter(static_cast<double>(value), benchmark::Counter::kAvgIterations);
}

// A tick that stands still: the client stays alive and every idle poll
// takes the same path.
std::uint32_t frozenTick(void*)
{
    return 1000;
}

std::u16string asciiText(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

AppInfo makeApp(std::uint32_t id)
{
    AppInfo info{};
    info.id = id;
    info.priority = 4;
    info.processClass = id % 7;
    info.downloadSpeed = id * 3;
    info.uploadSpeed = id;
    textToField(info.name, asciiText("application-" + std::to_string(id) + ".exe"));
    textToField(info.iconPath, asciiText("icons/application-" + std::to_string(id) + ".png"));
    return info;
}

// A service and a client over one private object directory. The service
// starts an epoch and publishes parameters 0, 1 and 2 (and one site and one
// text), so that a client poll finds everything a live service provides.
class LinkPair {
public:
    LinkPair()
    {
        // A benchmark that works as intended makes the link log nothing. The
        // lines are counted instead of printed between the figures, and a
        // benchmark that saw any reports an error.
        platform::setLogSink([this](const std::string&) { ++logLines; });
        m_ok = setUp();
    }
    ~LinkPair() { platform::setLogSink({}); }
    LinkPair(const LinkPair&) = delete;
    LinkPair& operator=(const LinkPair&) = delete;

    bool ok() const { return m_ok; }
    const char* error() const { return m_error; }

    bool registerClient()
    {
        client.setObjectDirectory(dir.path());
        client.setTickSource(frozenTick, nullptr);
        client.setMutexWaitLimit(5);   // as the program's LibClient sets it
        if (client.vlcommRegister(&callback) != 0)
            return false;
        // The first poll takes everything over and sees the heartbeat.
        return client.poll() == 0 && client.isAlive();
    }

    platform::PrivateDirectory dir{"kestrix-bench"};
    ServiceLink service;
    Client client;
    CountingCallback callback;
    std::uint64_t logLines = 0;

private:
    bool setUp()
    {
        if (!dir.isValid())
            return fail("mkdtemp failed");
        service.setObjectDirectory(dir.path());
        if (service.createObjects() != 0)
            return fail("createObjects failed");
        if (service.vlcommRegister(nullptr) != 0)
            return fail("service registration failed");
        if (service.beginNewEpoch() != 0)
            return fail("beginNewEpoch failed");
        if (service.controlCenterSetParameter(kParameterRequestedActive, 1) != 0
            || service.controlCenterSetParameter(kParameterActualActive, 1) != 0
            || service.controlCenterSetParameter(kParameterHeartbeat, 1) != 0)
            return fail("publishing the parameters failed");
        SiteInfo site{};
        site.id = 1;
        textToField(site.name, asciiText("example.org"));
        if (service.addSite(site) != 0)
            return fail("publishing a site failed");
        if (service.setString(1, asciiText("Kestrix")) != 0)
            return fail("publishing a text failed");
        return true;
    }

    bool fail(const char* why)
    {
        m_error = why;
        return false;
    }

    bool m_ok = false;
    const char* m_error = "";
};

std::vector<AppInfo> makeApps(std::size_t count)
{
    std::vector<AppInfo> apps(count);
    for (std::size_t i = 0; i < count; ++i)
        apps[i] = makeApp(static_cast<std::uint32_t>(i + 1));
    return apps;
}

// A pair whose service has published @p count applications that the client
// has taken over.
bool setUpAppTable(LinkPair& link, std::vector<AppInfo>& apps, std::size_t count,
                   benchmark::State& state)
{
    if (!link.ok()) {
        state.SkipWithError(link.error());
        return false;
    }
    apps = makeApps(count);
    if (link.service.publishApplications(apps) != 0) {
        state.SkipWithError("publishing the applications failed");
        return false;
    }
    if (!link.registerClient()) {
        state.SkipWithError("client registration or first poll failed");
        return false;
    }
    std::vector<std::uint32_t> ids;
    link.client.listApplicationIds(ids);
    if (ids.size() != count || link.callback.appAdded != count) {
        state.SkipWithError("the client did not take the application table over");
        return false;
    }
    return true;
}

// --- Benchmarks -------------------------------------------------------------

// Client::poll when nothing changed: the mutex, four header reads and the
// heartbeat check.
void BM_IdlePoll(benchmark::State& state)
{
    LinkPair link;
    std::vector<AppInfo> apps;
    if (!setUpAppTable(link, apps, 10, state))
        return;
    const std::uint64_t reportsBefore = link.callback.total();
    std::int64_t failures = 0;
    const long faultsBefore = minorFaults();

    for (auto _ : state) {
        const std::int32_t result = link.client.poll();
        failures += result != 0;
        benchmark::DoNotOptimize(result);
    }

    state.counters["faults"] = perIteration(minorFaults() - faultsBefore);
    if (failures != 0)
        state.SkipWithError("poll failed");
    else if (link.callback.total() != reportsBefore)
        state.SkipWithError("an idle poll reported a change");
    else if (link.logLines != 0)
        state.SkipWithError("the link logged a problem");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IdlePoll)->Unit(benchmark::kNanosecond);

// pull of an application table in which every record has a greater sequence
// than the client's mirror: every record is taken over and reported.
void BM_PullApps(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    LinkPair link;
    std::vector<AppInfo> apps;
    if (!setUpAppTable(link, apps, count, state))
        return;
    const std::uint64_t changedBefore = link.callback.appChanged;
    std::int64_t failures = 0;
    long timedFaults = 0;
    long mark = minorFaults();

    for (auto _ : state) {
        state.PauseTiming();
        timedFaults += minorFaults() - mark;
        // The service's next table: every application has a new speed, so
        // every record gets a greater sequence.
        for (AppInfo& app : apps)
            app.downloadSpeed += 1;
        if (link.service.publishApplications(apps) != 0) {
            state.SkipWithError("publishing the applications failed");
            break;
        }
        mark = minorFaults();
        state.ResumeTiming();

        const std::int32_t result = link.client.pull();
        failures += result != 0;
        benchmark::DoNotOptimize(result);
    }

    timedFaults += minorFaults() - mark;
    state.counters["faults"] = perIteration(timedFaults);

    const std::uint64_t expected = changedBefore + count * state.iterations();
    if (failures != 0)
        state.SkipWithError("pull failed");
    else if (link.callback.appChanged != expected || link.callback.appAdded != count
             || link.callback.appRemoved != 0)
        state.SkipWithError("a pull did not take over every record exactly once");
    else if (link.logLines != 0)
        state.SkipWithError("the link logged a problem");
    benchmark::DoNotOptimize(link.callback.checksum);
    state.SetItemsProcessed(static_cast<std::int64_t>(count) * state.iterations());
}
BENCHMARK(BM_PullApps)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// publish of an application table of 1,000 records that changed since the
// client last published it.
//
// Every writing request publishes at once, so the client never holds an
// unpublished change between requests. A registration is what leaves one:
// it forgets what was published, and the next publish writes every table the
// client has changed. Outside the timed part each iteration re-registers and
// pulls once, which faults the new view's pages in as a long-lived view has
// them; the timed part is the publish alone. On tmpfs (/dev/shm, where the
// objects live in production) those pages are then writable. On a disk file
// system such as ext4 the first write to each page of a new view still takes
// a write-notification fault; the faults counter shows them.
void BM_PublishApps(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    LinkPair link;
    std::vector<AppInfo> apps;
    if (!setUpAppTable(link, apps, count, state))
        return;
    // The client's own change: application 1 gets priority 2.
    AppInfo changed = apps[0];
    changed.priority = 2;
    if (link.client.controlCenterModifyApplication(changed) != 0) {
        state.SkipWithError("modifying an application failed");
        return;
    }
    RegionFile region(link.dir.path(), kAppRegionName);
    RegionHeader before{};
    if (!region.readHeader(before)) {
        state.SkipWithError("reading the application header failed");
        return;
    }
    std::int64_t failures = 0;
    long timedFaults = 0;
    long mark = minorFaults();

    for (auto _ : state) {
        state.PauseTiming();
        timedFaults += minorFaults() - mark;
        link.client.vlcommUnregister();
        if (link.client.vlcommRegister(&link.callback) != 0 || link.client.pull() != 0) {
            state.SkipWithError("re-registering the client failed");
            break;
        }
        mark = minorFaults();
        state.ResumeTiming();

        const std::int32_t result = link.client.publish();
        failures += result != 0;
        benchmark::DoNotOptimize(result);
    }

    timedFaults += minorFaults() - mark;
    state.counters["faults"] = perIteration(timedFaults);

    RegionHeader after{};
    if (failures != 0)
        state.SkipWithError("publish failed");
    else if (!region.readHeader(after) || after.count != count
             || after.generation - before.generation != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("not every publish wrote the application table");
    else if (link.logLines != 0)
        state.SkipWithError("the link logged a problem");
    state.SetItemsProcessed(static_cast<std::int64_t>(count) * state.iterations());
}
BENCHMARK(BM_PublishApps)->Arg(1000)->Unit(benchmark::kMicrosecond);

// controlCenterModifyApplication with 1,000 applications in the table: the
// pull before it (nothing new), the change, and the publish of the table.
void BM_ModifyApplication(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    LinkPair link;
    std::vector<AppInfo> apps;
    if (!setUpAppTable(link, apps, count, state))
        return;
    RegionFile region(link.dir.path(), kAppRegionName);
    RegionHeader before{};
    if (!region.readHeader(before)) {
        state.SkipWithError("reading the application header failed");
        return;
    }
    std::int64_t failures = 0;
    std::size_t next = 0;
    std::uint32_t priority = 0;
    const long faultsBefore = minorFaults();

    for (auto _ : state) {
        // Each modification changes another application's priority.
        AppInfo info = apps[next];
        priority = priority == 7 ? 1 : priority + 1;
        info.priority = priority;
        next = next + 1 == count ? 0 : next + 1;
        const std::int32_t result = link.client.controlCenterModifyApplication(info);
        failures += result != 0;
        benchmark::DoNotOptimize(result);
    }

    state.counters["faults"] = perIteration(minorFaults() - faultsBefore);
    RegionHeader after{};
    if (failures != 0)
        state.SkipWithError("controlCenterModifyApplication failed");
    else if (!region.readHeader(after) || after.count != count
             || after.generation - before.generation != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("not every modification published the application table");
    else if (link.logLines != 0)
        state.SkipWithError("the link logged a problem");
    state.SetItemsProcessed(state.iterations());
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(count) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ModifyApplication)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
