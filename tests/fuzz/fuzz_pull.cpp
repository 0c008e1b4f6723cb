// Fuzzes the client's pull over whatever a broken or hostile service could
// leave in the four region files: headers with any generation, count and
// epoch, records with any sequence, id, mark and payload (texts without a
// terminating NUL included), and files cut anywhere, also shorter than the
// count claims and shorter than a header. Each input lays out all four
// files, registers a Client on them and pulls; then it rewrites the files
// (a new epoch, a new header over the same records, new records, another
// length) and pulls or polls again.
//
// The callback reads every byte it is handed, so that a report made from a
// freed or unmapped record is seen by AddressSanitizer. Parameter and text
// reports may issue writing requests, which the link allows, so the nested
// paths run too. The callback also keeps the ids the link reported as added
// and removed and checks them against the link's mirrors: an addition of an
// id that is there, a removal of one that is not, or a mirror that differs
// from what was reported aborts the run.
//
// KESTRIX_FUZZ_NESTED_WRITES=0 in the environment leaves the nested
// requests out. An input that aborts in a nested request is dropped, and so
// is everything it would have reached afterwards; while a defect in those
// paths is open, this keeps the rest of the link under the fuzzer.

#include "servicelink/callback.h"
#include "servicelink/objectnames.h"
#include "servicelink/records.h"
#include "servicelink/velcomm.h"

#include "platform/filedescriptor.h"
#include "platform/log.h"
#include "platform/namedobject.h"
#include "platform/privatedirectory.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace servicelink;

// The process's object directory once it exists. An abort skips the
// destructors, so fatal() removes the directory itself.
const std::string* g_objectDirectory = nullptr;

[[noreturn]] void fatal(const char* what)
{
    std::fprintf(stderr, "fuzz_pull: %s\n", what);
    if (g_objectDirectory != nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(*g_objectDirectory, ignored);
    }
    std::abort();
}

// --- The process's object directory -----------------------------------------

// The four tables in file order, with their record sizes and the most
// records one input lays out (enough for duplicates, removals and several
// pages of records, few enough to keep an input fast).
struct RegionKind {
    const char* name;
    std::size_t recordSize;
    std::size_t maxRecords;
};

enum Region : std::size_t { kApps = 0, kSites = 1, kParameters = 2, kStrings = 3, kRegionCount = 4 };

constexpr RegionKind kKinds[kRegionCount] = {
    {kAppRegionName, sizeof(AppRecord), 10},
    {kSiteRegionName, sizeof(SiteRecord), 10},
    {kParameterRegionName, sizeof(ParameterRecord), 40},
    {kStringRegionName, sizeof(StringRecord), 12},
};

// Made once per process: the directory, the objects a service creates in
// it, and a descriptor of each region file through which the inputs are
// written, as a service process would write them.
class World {
public:
    World()
    {
        // The link logs every bad header once; thousands of inputs a second
        // would bury libFuzzer's own output.
        platform::setLogSink([this](const std::string& line) { logBytes += line.size(); });
        const char* nested = std::getenv("KESTRIX_FUZZ_NESTED_WRITES");
        nestedWrites = nested == nullptr || std::strcmp(nested, "0") != 0;
        if (!dir.isValid())
            fatal("mkdtemp failed");
        g_objectDirectory = &dir.path();
        ServiceLink creator;
        creator.setObjectDirectory(dir.path());
        if (creator.createObjects() != 0)
            fatal("createObjects failed");
        for (std::size_t r = 0; r < kRegionCount; ++r) {
            const std::string path = platform::objectPath(dir.path(), kKinds[r].name);
            files[r] = platform::FileDescriptor(::open(path.c_str(), O_RDWR | O_CLOEXEC));
            if (!files[r].isValid())
                fatal("opening a region file failed");
        }
    }
    ~World()
    {
        g_objectDirectory = nullptr;
        platform::setLogSink({});
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    platform::PrivateDirectory dir{"kestrix-fuzz"};
    std::array<platform::FileDescriptor, kRegionCount> files;
    std::uint64_t logBytes = 0;
    bool nestedWrites = true;
};

World& world()
{
    static World instance;
    return instance;
}

// --- Region images ------------------------------------------------------------

// One region file's contents: header and records, and the length the file
// gets, which may cut the bytes short or extend them with zeros.
struct RegionImage {
    std::vector<std::uint8_t> bytes;
    std::uint64_t length = 0;
};

RegionHeader headerOf(const RegionImage& image)
{
    RegionHeader header{};
    if (image.bytes.size() >= sizeof header)
        std::memcpy(&header, image.bytes.data(), sizeof header);
    return header;
}

RegionHeader pickHeader(FuzzedDataProvider& input, const RegionHeader& previous, std::size_t records)
{
    RegionHeader header{};
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: header.generation = input.ConsumeIntegralInRange<std::uint64_t>(0, 3); break;
    case 1: header.generation = previous.generation + 1; break;
    case 2: header.generation = previous.generation; break;
    default: header.generation = input.ConsumeIntegral<std::uint64_t>(); break;
    }
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: header.epoch = previous.epoch; break;
    case 1: header.epoch = previous.epoch + 1; break;
    case 2: header.epoch = input.ConsumeIntegralInRange<std::uint32_t>(0, 3); break;
    default: header.epoch = input.ConsumeIntegral<std::uint32_t>(); break;
    }
    const auto laidOut = static_cast<std::uint32_t>(records);
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: header.count = laidOut; break;
    case 1: header.count = laidOut + input.ConsumeIntegralInRange<std::uint32_t>(1, 4); break;
    case 2: header.count = laidOut - std::min(laidOut, input.ConsumeIntegralInRange<std::uint32_t>(1, 4)); break;
    default: header.count = input.ConsumeIntegral<std::uint32_t>(); break;
    }
    return header;
}

void appendRecord(FuzzedDataProvider& input, std::size_t recordSize, std::vector<std::uint8_t>& bytes)
{
    RecordHead head{};
    head.sequence = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint64_t>(0, 5)
                                        : input.ConsumeIntegral<std::uint64_t>();
    // Mostly a mark of 0, as the service leaves it; sometimes anything.
    head.mark = input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeIntegral<std::uint32_t>() : 0;
    // Few distinct ids, so that records meet mirror entries and each other.
    head.id = input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeIntegral<std::uint32_t>()
                                                      : input.ConsumeIntegralInRange<std::uint32_t>(0, 9);

    const std::size_t start = bytes.size();
    bytes.resize(start + recordSize);
    std::memcpy(bytes.data() + start, &head, sizeof head);
    std::uint8_t* payload = bytes.data() + start + sizeof head;
    const std::size_t payloadSize = recordSize - sizeof head;
    // Zeros, one repeated byte (texts with no NUL at all), or bytes of the
    // input followed by a repeated byte.
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: break;
    case 1: std::memset(payload, input.ConsumeIntegral<std::uint8_t>(), payloadSize); break;
    default: {
        const std::uint8_t fill = input.ConsumeIntegral<std::uint8_t>();
        const std::size_t copied = input.ConsumeData(payload, input.ConsumeIntegralInRange<std::size_t>(0, payloadSize));
        std::memset(payload + copied, fill, payloadSize - copied);
        break;
    }
    }
}

// Reads past the end of the file fault only on pages wholly beyond it, so
// one choice cuts the file inside its first page: a reader that still
// believes the old, longer length then faults on the next page.
constexpr std::uint64_t kPageSize = 4096;

std::uint64_t pickLength(FuzzedDataProvider& input, std::size_t recordSize, std::uint64_t exact)
{
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: return exact;
    case 1: return exact - std::min<std::uint64_t>(exact, input.ConsumeIntegralInRange<std::uint64_t>(1, recordSize));
    case 2: return exact + input.ConsumeIntegralInRange<std::uint64_t>(1, 2 * recordSize);
    case 3: return input.ConsumeIntegralInRange<std::uint64_t>(0, kPageSize - 1);
    default: return input.ConsumeIntegralInRange<std::uint64_t>(0, exact + recordSize);
    }
}

RegionImage freshImage(FuzzedDataProvider& input, const RegionKind& kind, const RegionHeader& previous)
{
    RegionImage image;
    const std::size_t records = input.ConsumeIntegralInRange<std::size_t>(0, kind.maxRecords);
    const RegionHeader header = pickHeader(input, previous, records);
    image.bytes.resize(sizeof header);
    std::memcpy(image.bytes.data(), &header, sizeof header);
    for (std::size_t i = 0; i < records; ++i)
        appendRecord(input, kind.recordSize, image.bytes);
    image.length = pickLength(input, kind.recordSize, image.bytes.size());
    return image;
}

// The next contents of a file after a first image: unchanged, the same
// records under a new header (an epoch change alone, say) at a new length,
// or new records altogether.
RegionImage nextImage(FuzzedDataProvider& input, const RegionKind& kind, const RegionImage& previous)
{
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: return previous;
    case 1: {
        RegionImage image = previous;
        const std::size_t records = (image.bytes.size() - sizeof(RegionHeader)) / kind.recordSize;
        const RegionHeader header = pickHeader(input, headerOf(previous), records);
        std::memcpy(image.bytes.data(), &header, sizeof header);
        image.length = pickLength(input, kind.recordSize, image.bytes.size());
        return image;
    }
    default: return freshImage(input, kind, headerOf(previous));
    }
}

void install(const platform::FileDescriptor& file, const RegionImage& image)
{
    if (::ftruncate(file.get(), 0) != 0)
        fatal("ftruncate failed");
    const std::size_t written = std::min<std::uint64_t>(image.bytes.size(), image.length);
    if (written > 0
        && ::pwrite(file.get(), image.bytes.data(), written, 0) != static_cast<ssize_t>(written))
        fatal("pwrite failed");
    if (::ftruncate(file.get(), static_cast<off_t>(image.length)) != 0)
        fatal("ftruncate failed");
}

// --- The callback -----------------------------------------------------------------

template <typename T>
std::uint64_t sumBytes(const T& value)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < sizeof value; ++i)
        sum += bytes[i];
    return sum;
}

std::uint64_t sumUnits(const std::u16string& text)
{
    std::uint64_t sum = text.size();
    for (char16_t unit : text)
        sum += unit;
    return sum;
}

// The writing requests a parameter or text report may issue.
enum class NestedWrite : std::uint8_t {
    SetParameter,
    SetString,
    ModifyApplication,
    AddSite,
    RemoveApplication,
    kMaxValue = RemoveApplication,   // for FuzzedDataProvider::ConsumeEnum
};

class TouchingCallback final : public Callback {
public:
    explicit TouchingCallback(VelComm& link) : m_link(link) {}

    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                      bool heartbeat) override
    {
        sum += requested + actual + (heartbeat ? 1 : 0);
        return 0;
    }
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override
    {
        expectPresent(parameters, id, "change of a parameter never added");
        sum += id + value;
        nestedWrite(id);
        return 0;
    }
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override
    {
        add(parameters, id, "parameter added twice");
        sum += id + value;
        nestedWrite(id);
        return 0;
    }
    std::int32_t onParameterRemoved(std::uint32_t id) override
    {
        remove(parameters, id, "removal of a parameter not there");
        sum += id;
        nestedWrite(id);
        return 0;
    }
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override
    {
        expectPresent(strings, id, "change of a text never added");
        sum += id + sumUnits(text);
        nestedWrite(id);
        return 0;
    }
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override
    {
        add(strings, id, "text added twice");
        sum += id + sumUnits(text);
        nestedWrite(id);
        return 0;
    }
    std::int32_t onStringRemoved(std::uint32_t id) override
    {
        remove(strings, id, "removal of a text not there");
        sum += id;
        nestedWrite(id);
        return 0;
    }
    // A change report names the entry by the id inside its payload, which
    // a damaged record may set to anything; only the bytes are checked.
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override
    {
        sum += id + sumBytes(info) + sumUnits(textFromField(info.name));
        return 0;
    }
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override
    {
        add(apps, id, "application added twice");
        sum += id + sumBytes(info) + sumUnits(textFromField(info.iconPath));
        return 0;
    }
    std::int32_t onAppRemoved(std::uint32_t id) override
    {
        remove(apps, id, "removal of an application not there");
        sum += id;
        return 0;
    }
    std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info) override
    {
        sum += id + sumBytes(info) + sumUnits(textFromField(info.name));
        return 0;
    }
    std::int32_t onSiteAdd(std::uint32_t id, const SiteInfo& info) override
    {
        add(sites, id, "site added twice");
        sum += id + sumBytes(info) + sumUnits(textFromField(info.iconPath));
        return 0;
    }
    std::int32_t onSiteRemoved(std::uint32_t id) override
    {
        remove(sites, id, "removal of a site not there");
        sum += id;
        return 0;
    }

    // Writing requests the next reports may issue, in order.
    std::vector<NestedWrite> pendingWrites;

    std::set<std::uint32_t> apps;
    std::set<std::uint32_t> sites;
    std::set<std::uint32_t> parameters;
    std::set<std::uint32_t> strings;
    std::uint64_t sum = 0;

private:
    static void add(std::set<std::uint32_t>& ids, std::uint32_t id, const char* problem)
    {
        if (!ids.insert(id).second)
            fatal(problem);
    }
    static void remove(std::set<std::uint32_t>& ids, std::uint32_t id, const char* problem)
    {
        if (ids.erase(id) == 0)
            fatal(problem);
    }
    static void expectPresent(const std::set<std::uint32_t>& ids, std::uint32_t id, const char* problem)
    {
        if (ids.count(id) == 0)
            fatal(problem);
    }

    // The link's own writes are not reported back, so the ids they create or
    // erase are noted here.
    void nestedWrite(std::uint32_t id)
    {
        if (pendingWrites.empty())
            return;
        const NestedWrite write = pendingWrites.back();
        pendingWrites.pop_back();
        switch (write) {
        case NestedWrite::SetParameter:
            m_link.controlCenterSetParameter(id + 1, id);
            parameters.insert(id + 1);
            break;
        case NestedWrite::SetString:
            m_link.setString(id, u"nested");
            strings.insert(id);
            break;
        case NestedWrite::ModifyApplication: {
            AppInfo info{};
            info.id = id;
            info.priority = 2;
            m_link.controlCenterModifyApplication(info);
            apps.insert(id);
            break;
        }
        case NestedWrite::AddSite: {
            SiteInfo info{};
            info.id = id;
            m_link.addSite(info);
            sites.insert(id);
            break;
        }
        case NestedWrite::RemoveApplication:
            m_link.removeApplication(id);
            apps.erase(id);
            break;
        }
    }

    VelComm& m_link;
};

// --- Checks ---------------------------------------------------------------------

void checkMirrors(const VelComm& link, const TouchingCallback& callback)
{
    std::vector<std::uint32_t> ids;
    link.listApplicationIds(ids);
    if (!std::equal(ids.begin(), ids.end(), callback.apps.begin(), callback.apps.end()))
        fatal("the application mirror differs from the reports");
    ids.clear();
    link.listSiteIds(ids);
    if (!std::equal(ids.begin(), ids.end(), callback.sites.begin(), callback.sites.end()))
        fatal("the site mirror differs from the reports");
    for (std::uint32_t id : callback.parameters) {
        std::uint32_t value = 0;
        if (link.controlCenterGetParameter(id, value) != 0)
            fatal("a reported parameter is missing from the mirror");
    }
    for (std::uint32_t id : callback.strings) {
        std::u16string text;
        if (link.getString(id, text) != 0 || text.size() > kTextUnits)
            fatal("a reported text is missing from the mirror or too long");
    }
}

void planWrites(FuzzedDataProvider& input, TouchingCallback& callback, bool allowed)
{
    callback.pendingWrites.clear();
    const int writes = input.ConsumeIntegralInRange(0, 2);
    for (int i = 0; i < writes; ++i) {
        const NestedWrite write = input.ConsumeEnum<NestedWrite>();
        if (allowed)
            callback.pendingWrites.push_back(write);
    }
}

struct ManualTick {
    std::uint32_t now = 0;
    static std::uint32_t read(void* context) { return static_cast<ManualTick*>(context)->now; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& shared = world();
    FuzzedDataProvider input(data, size);

    // The first images: every file at least a header long, so the client
    // registers.
    std::array<RegionImage, kRegionCount> images;
    for (std::size_t r = 0; r < kRegionCount; ++r) {
        images[r] = freshImage(input, kKinds[r], RegionHeader{});
        images[r].length = std::max<std::uint64_t>(images[r].length, sizeof(RegionHeader));
        install(shared.files[r], images[r]);
    }

    ManualTick tick;
    tick.now = input.ConsumeIntegral<std::uint32_t>();
    Client client;
    client.setObjectDirectory(shared.dir.path());
    client.setTickSource(ManualTick::read, &tick);
    TouchingCallback callback(client);
    if (client.vlcommRegister(&callback) != 0)
        fatal("registration on valid region files failed");

    planWrites(input, callback, shared.nestedWrites);
    const std::int32_t first = client.pull();
    if (first != 0 && first != 1)
        fatal("pull of a connected link returned neither 0 nor 1");
    checkMirrors(client, callback);

    // The service's next move, then a second pull (or a poll, which pulls).
    for (std::size_t r = 0; r < kRegionCount; ++r) {
        const RegionImage next = nextImage(input, kKinds[r], images[r]);
        install(shared.files[r], next);
        images[r] = next;
    }
    planWrites(input, callback, shared.nestedWrites);
    tick.now += input.ConsumeIntegralInRange<std::uint32_t>(0, 200);
    if (input.ConsumeBool()) {
        const std::int32_t second = client.pull();
        if (second != 0 && second != 1)
            fatal("pull of a connected link returned neither 0 nor 1");
    } else {
        const std::int32_t polled = client.poll();
        if (polled != 0 && polled != -1)
            fatal("poll returned neither 0 nor -1");
    }
    checkMirrors(client, callback);
    return 0;
}
