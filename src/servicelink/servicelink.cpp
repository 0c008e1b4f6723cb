#include "servicelink/velcomm.h"

#include "linktables.h"
#include "servicelink/objectnames.h"

#include "platform/faultguard.h"
#include "platform/log.h"
#include "platform/namedobject.h"

#include <cstring>
#include <set>

namespace servicelink {

ServiceLink::ServiceLink() : VelComm(true) {}

ServiceLink::~ServiceLink() = default;

std::int32_t ServiceLink::createObjects(mode_t permissions)
{
    const std::string directory = objectDirectory();
    std::string why;
    for (const char* name : {kAppRegionName, kSiteRegionName, kParameterRegionName, kStringRegionName}) {
        const platform::SharedRegion region =
            platform::SharedRegion::create(platform::objectPath(directory, name), permissions, why);
        if (!region.isValid()) {
            platform::logLine("creating region: " + why);
            return -1;
        }
    }
    const platform::NamedMutex mutex = platform::NamedMutex::openOrCreate(
        platform::objectPath(directory, kLinkMutexName), why, permissions, true);
    if (!mutex.isValid()) {
        platform::logLine("creating the link mutex: " + why);
        return -1;
    }
    for (const char* name : {kServiceEventName, kClientEventName}) {
        const platform::NamedEvent event = platform::NamedEvent::openOrCreate(
            platform::objectPath(directory, name), why, permissions, true);
        if (!event.isValid()) {
            platform::logLine("creating an event: " + why);
            return -1;
        }
    }
    // Anything this side creates later (at registration) gets the same mode.
    setCreationMode(permissions);
    return 0;
}

std::int32_t ServiceLink::beginNewEpoch()
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    bool written = true;
    tables().forEach([&written](auto& table) {
        RegionHeader header{};
        std::uint8_t* const base = table.mapping.base();
        if (!written || !platform::guardedRead(&header, base, sizeof header)) {
            written = false;
            return;
        }
        header.epoch = header.epoch + 1 == 0 ? 1 : header.epoch + 1;
        header.generation += 1;
        header.count = 0;
        written = platform::guardedWrite(base, &header, sizeof header);
    });
    return written ? 0 : -1;
}

std::int32_t ServiceLink::poll()
{
    return pull();
}

namespace {

template <typename Payload>
bool samePayload(const Payload& a, const Payload& b)
{
    return std::memcmp(&a, &b, sizeof(Payload)) == 0;
}

// Stores @p payload in the entry for @p id when it differs; true if it did.
template <typename Payload>
bool storeIfChanged(detail::TableState<Payload>& table, std::uint32_t id, const Payload& payload)
{
    auto found = table.mirror.find(id);
    if (found != table.mirror.end() && samePayload(found->second.payload, payload))
        return false;
    TableRecord<Payload>& entry = table.mirror[id];
    entry.payload = payload;
    entry.id = id;
    entry.mark = 0;
    ++entry.sequence;
    return true;
}

template <typename Payload>
bool replaceTable(detail::TableState<Payload>& table, const std::vector<Payload>& items)
{
    bool changed = false;
    std::set<std::uint32_t> wanted;
    for (const Payload& item : items) {
        Payload payload = item;
        auto found = table.mirror.find(item.id);
        if (found != table.mirror.end()) {
            payload.priority = found->second.payload.priority;
            payload.isPinned = found->second.payload.isPinned;
        }
        changed = storeIfChanged(table, item.id, payload) || changed;
        wanted.insert(item.id);
    }
    for (auto it = table.mirror.begin(); it != table.mirror.end();) {
        if (wanted.count(it->first) == 0) {
            it = table.mirror.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    if (changed)
        ++table.changeCounter;
    return changed;
}

} // namespace

std::int32_t ServiceLink::publishApplications(const std::vector<AppInfo>& apps)
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    replaceTable(tables().apps.state, apps);
    return publish();
}

std::int32_t ServiceLink::publishSites(const std::vector<SiteInfo>& sites)
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    replaceTable(tables().sites.state, sites);
    return publish();
}

std::int32_t ServiceLink::setParameters(
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values)
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    bool changed = false;
    for (const auto& [id, value] : values) {
        ParameterValue payload;
        payload.value = value;
        changed = storeIfChanged(tables().parameters.state, id, payload) || changed;
    }
    if (changed)
        ++tables().parameters.state.changeCounter;
    return publish();
}

std::int32_t ServiceLink::setStrings(
    const std::vector<std::pair<std::uint32_t, std::u16string>>& texts)
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    bool changed = false;
    for (const auto& [id, text] : texts) {
        VlString payload{};
        textToField(payload.text, text);
        changed = storeIfChanged(tables().strings.state, id, payload) || changed;
    }
    if (changed)
        ++tables().strings.state.changeCounter;
    return publish();
}

} // namespace servicelink
