// Fuzzes the client's pull over whatever a broken or hostile service could
// leave in the four region files: any header, any records (texts without a
// NUL included), files cut anywhere. Each input lays out the files, registers
// a Client and pulls, rewrites the files and pulls or polls again.
//
// The callback reads every byte it is handed (AddressSanitizer sees a report
// from freed or unmapped memory) and aborts on a report that does not fit the
// ones before it or mirrors that differ from the reports. Parameter and text
// reports issue writing requests, as the link allows them to.

#include "servicelink/velcomm.h"
#include "servicelink/objectnames.h"

#include "platform/filedescriptor.h"
#include "platform/log.h"
#include "platform/namedobject.h"
#include "platform/privatedirectory.h"

#include "manualtick.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <set>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace servicelink;

enum Region : std::size_t { kApps, kSites, kParameters, kStrings, kRegionCount };
// Name, record size and the most records an input lays out: enough for duplicates and several pages.
struct RegionKind {
    const char* name;
    std::size_t recordSize, maxRecords;
} constexpr kKinds[kRegionCount] = {{kAppRegionName, sizeof(AppRecord), 10}, {kSiteRegionName, sizeof(SiteRecord), 10},
                                    {kParameterRegionName, sizeof(ParameterRecord), 40}, {kStringRegionName, sizeof(StringRecord), 12}};

// Made once per process: the directory, the service's objects in it, and a
// descriptor of each region file through which the inputs are written.
struct World {
    World()
    {
        platform::setLogSink([](const std::string&) {});   // every bad header is logged once: too many
        ServiceLink creator;
        creator.setObjectDirectory(dir.path());
        if (!dir.isValid() || creator.createObjects() != 0)
            std::abort();
        for (std::size_t r = 0; r < kRegionCount; ++r)
            files[r] = platform::FileDescriptor(::open(dir.pathOf(kKinds[r].name).c_str(), O_RDWR | O_CLOEXEC));
    }
    platform::PrivateDirectory dir{"kestrix-fuzz"};
    std::array<platform::FileDescriptor, kRegionCount> files;
};
World* g_world = nullptr;

[[noreturn]] void fatal(const char* what)
{
    std::fprintf(stderr, "fuzz_pull: %s\n", what);
    std::error_code ignored;   // an abort skips the destructors
    std::filesystem::remove_all(g_world->dir.path(), ignored);
    std::abort();
}

// One file's bytes (a header first), and the length the file gets: shorter cuts them, longer pads with zeros.
struct Image {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(sizeof(RegionHeader));
    std::uint64_t length = 0;
    RegionHeader* header() { return reinterpret_cast<RegionHeader*>(bytes.data()); }
};

RegionHeader pickHeader(FuzzedDataProvider& input, const RegionHeader& previous, std::uint32_t records)
{
    RegionHeader header{};
    const std::uint64_t generations[] = {input.ConsumeIntegralInRange<std::uint64_t>(0, 3), previous.generation + 1,
                                         previous.generation, input.ConsumeIntegral<std::uint64_t>()};
    header.generation = generations[input.ConsumeIntegralInRange(0, 3)];
    const std::uint32_t epochs[] = {previous.epoch, previous.epoch + 1, input.ConsumeIntegralInRange<std::uint32_t>(0, 3),
                                    input.ConsumeIntegral<std::uint32_t>()};
    header.epoch = epochs[input.ConsumeIntegralInRange(0, 3)];
    const std::uint32_t counts[] = {records, records + input.ConsumeIntegralInRange<std::uint32_t>(1, 4),
                                    records - std::min(records, input.ConsumeIntegralInRange<std::uint32_t>(1, 4)),
                                    input.ConsumeIntegral<std::uint32_t>()};
    header.count = counts[input.ConsumeIntegralInRange(0, 3)];
    return header;
}

void appendRecord(FuzzedDataProvider& input, std::size_t recordSize, std::vector<std::uint8_t>& bytes)
{
    RecordHead head{};
    head.sequence = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint64_t>(0, 5) : input.ConsumeIntegral<std::uint64_t>();
    head.mark = input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeIntegral<std::uint32_t>() : 0;
    // Few distinct ids, so that records meet mirror entries and each other.
    head.id = input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeIntegral<std::uint32_t>() : input.ConsumeIntegralInRange(0u, 9u);
    const std::size_t start = bytes.size();
    bytes.resize(start + recordSize);
    std::memcpy(bytes.data() + start, &head, sizeof head);
    // Zeros, or bytes of the input followed by one repeated byte (texts with no NUL at all).
    std::uint8_t* payload = bytes.data() + start + sizeof head;
    const std::size_t size = recordSize - sizeof head;
    if (input.ConsumeBool()) {
        const std::uint8_t fill = input.ConsumeIntegral<std::uint8_t>();
        const std::size_t copied = input.ConsumeData(payload, input.ConsumeIntegralInRange<std::size_t>(0, size));
        std::memset(payload + copied, fill, size - copied);
    }
}

// One choice cuts the file inside its first page: a reader that believes the
// old, longer length then faults on the next page.
std::uint64_t pickLength(FuzzedDataProvider& input, std::size_t recordSize, std::uint64_t exact)
{
    const std::uint64_t lengths[] = {exact, exact - std::min<std::uint64_t>(exact, input.ConsumeIntegralInRange<std::uint64_t>(1, recordSize)),
                                     exact + input.ConsumeIntegralInRange<std::uint64_t>(1, 2 * recordSize),
                                     input.ConsumeIntegralInRange<std::uint64_t>(0, 4095),
                                     input.ConsumeIntegralInRange<std::uint64_t>(0, exact + recordSize)};
    return lengths[input.ConsumeIntegralInRange(0, 4)];
}

// The first image of a file, or the next one: unchanged, the same records
// under a new header at a new length (an epoch change alone, say), or new records.
Image pickImage(FuzzedDataProvider& input, const RegionKind& kind, Image* previous)
{
    const int choice = previous == nullptr ? 2 : input.ConsumeIntegralInRange(0, 2);
    if (choice == 0)
        return *previous;
    Image image = choice == 1 ? *previous : Image{};
    for (std::size_t i = choice == 2 ? input.ConsumeIntegralInRange<std::size_t>(0, kind.maxRecords) : 0; i > 0; --i)
        appendRecord(input, kind.recordSize, image.bytes);
    const auto records = static_cast<std::uint32_t>((image.bytes.size() - sizeof(RegionHeader)) / kind.recordSize);
    *image.header() = pickHeader(input, previous != nullptr ? *previous->header() : RegionHeader{}, records);
    image.length = pickLength(input, kind.recordSize, image.bytes.size());
    return image;
}

void install(const platform::FileDescriptor& file, const Image& image)
{
    const std::size_t written = std::min<std::uint64_t>(image.bytes.size(), image.length);
    if (::ftruncate(file.get(), 0) != 0 || ::pwrite(file.get(), image.bytes.data(), written, 0) != ssize_t(written)
        || ::ftruncate(file.get(), off_t(image.length)) != 0)
        fatal("writing a region file failed");
}

// Reads every byte: a sum the optimiser cannot drop.
std::uint64_t sumUnits(const std::u16string& text)
{
    return std::accumulate(text.begin(), text.end(), std::uint64_t(text.size()));
}
template <typename Info>
std::uint64_t bytesOf(const Info& info)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&info);
    return std::accumulate(bytes, bytes + sizeof info, sumUnits(textFromField(info.name)) + sumUnits(textFromField(info.iconPath)));
}

enum Report { kAdded, kChanged, kRemoved };

class CheckingCallback final : public Callback {
public:
    explicit CheckingCallback(VelComm& link) : m_link(link) {}
    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual, bool alive) override { sum += requested + actual + alive; return 0; }
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override { return report(kParameters, kChanged, id, value); }
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override { return report(kParameters, kAdded, id, value); }
    std::int32_t onParameterRemoved(std::uint32_t id) override { return report(kParameters, kRemoved, id, 0); }
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override { return report(kStrings, kChanged, id, sumUnits(text)); }
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override { return report(kStrings, kAdded, id, sumUnits(text)); }
    std::int32_t onStringRemoved(std::uint32_t id) override { return report(kStrings, kRemoved, id, 0); }
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override { return report(kApps, kChanged, id, bytesOf(info)); }
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override { return report(kApps, kAdded, id, bytesOf(info)); }
    std::int32_t onAppRemoved(std::uint32_t id) override { return report(kApps, kRemoved, id, 0); }
    std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info) override { return report(kSites, kChanged, id, bytesOf(info)); }
    std::int32_t onSiteAdd(std::uint32_t id, const SiteInfo& info) override { return report(kSites, kAdded, id, bytesOf(info)); }
    std::int32_t onSiteRemoved(std::uint32_t id) override { return report(kSites, kRemoved, id, 0); }

    std::array<std::set<std::uint32_t>, kRegionCount> ids;   // what the reports say each mirror holds
    std::vector<int> pendingWrites;                            // the writing requests the next reports issue
    std::uint64_t sum = 0;

private:
    // Checks a report against the earlier ones. A change names an application
    // or site by the id inside its payload, which a damaged record may set to
    // anything, so only parameter and text changes are checked.
    std::int32_t report(Region table, Report what, std::uint32_t id, std::uint64_t touched)
    {
        sum += id + touched;
        if ((what == kAdded && !ids[table].insert(id).second) || (what == kRemoved && ids[table].erase(id) == 0)
            || (what == kChanged && table >= kParameters && ids[table].count(id) == 0))
            fatal("a report that does not fit the ones before it");
        if (table >= kParameters && !pendingWrites.empty()) {
            const int write = pendingWrites.back();
            pendingWrites.pop_back();
            nestedWrite(write, id);
        }
        return 0;
    }

    // The link's own writes are not reported back: the ids they change are noted here.
    void nestedWrite(int write, std::uint32_t id)
    {
        AppInfo app{};
        SiteInfo site{};
        app.id = site.id = id;
        switch (write) {
        case 0: m_link.controlCenterSetParameter(id + 1, id); ids[kParameters].insert(id + 1); break;
        case 1: m_link.setString(id, u"nested"); ids[kStrings].insert(id); break;
        case 2: m_link.controlCenterModifyApplication(app); ids[kApps].insert(id); break;
        case 3: m_link.addSite(site); ids[kSites].insert(id); break;
        default: m_link.removeApplication(id); ids[kApps].erase(id); break;
        }
    }

    VelComm& m_link;
};

void checkMirrors(const VelComm& link, const CheckingCallback& callback)
{
    std::vector<std::uint32_t> apps, sites;
    link.listApplicationIds(apps);
    link.listSiteIds(sites);
    bool same = std::equal(apps.begin(), apps.end(), callback.ids[kApps].begin(), callback.ids[kApps].end())
                && std::equal(sites.begin(), sites.end(), callback.ids[kSites].begin(), callback.ids[kSites].end());
    std::uint32_t value = 0;
    std::u16string text;
    for (std::uint32_t id : callback.ids[kParameters])
        same = same && link.controlCenterGetParameter(id, value) == 0;
    for (std::uint32_t id : callback.ids[kStrings])
        same = same && link.getString(id, text) == 0 && text.size() <= kTextUnits;
    if (!same)
        fatal("a mirror differs from the reports");
}

void planWrites(FuzzedDataProvider& input, CheckingCallback& callback)
{
    callback.pendingWrites.clear();
    for (int i = input.ConsumeIntegralInRange(0, 2); i > 0; --i)
        callback.pendingWrites.push_back(input.ConsumeIntegralInRange(0, 4));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World world;
    g_world = &world;
    FuzzedDataProvider input(data, size);
    std::array<Image, kRegionCount> images;
    for (std::size_t r = 0; r < kRegionCount; ++r) {
        images[r] = pickImage(input, kKinds[r], nullptr);
        images[r].length = std::max<std::uint64_t>(images[r].length, sizeof(RegionHeader));   // so that registration works
        install(world.files[r], images[r]);
    }
    ManualTick tick;
    tick.now = input.ConsumeIntegral<std::uint32_t>();
    Client client;
    client.setObjectDirectory(world.dir.path());
    client.setTickSource(ManualTick::read, &tick);
    CheckingCallback callback(client);
    if (client.vlcommRegister(&callback) != 0)
        fatal("registration on valid region files failed");
    planWrites(input, callback);
    if (const std::int32_t pulled = client.pull(); pulled != 0 && pulled != 1)
        fatal("pull of a connected link returned neither 0 nor 1");
    checkMirrors(client, callback);

    for (std::size_t r = 0; r < kRegionCount; ++r) {   // the service's next move
        images[r] = pickImage(input, kKinds[r], &images[r]);
        install(world.files[r], images[r]);
    }
    planWrites(input, callback);
    tick.now += input.ConsumeIntegralInRange<std::uint32_t>(0, 200);
    const bool pulling = input.ConsumeBool();
    const std::int32_t result = pulling ? client.pull() : client.poll();
    if (pulling ? (result != 0 && result != 1) : (result != 0 && result != -1))
        fatal("pull or poll returned what it never returns");
    checkMirrors(client, callback);
    return 0;
}
