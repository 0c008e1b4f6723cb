#include "servicelink/velcomm.h"

#include "servicelink/objectnames.h"

#include "platform/faultguard.h"
#include "platform/log.h"
#include "platform/namedobject.h"

#include <cstring>
#include <set>

namespace servicelink {

ServiceLink::ServiceLink() = default;   // a bare link: service side

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
    for (RegionHandle* region : {&m_appRegion, &m_siteRegion, &m_parameterRegion, &m_stringRegion})
        region->securityAttributes = permissions;
    return 0;
}

std::int32_t ServiceLink::beginNewEpoch()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    for (RegionHandle* region : {&m_appRegion, &m_siteRegion, &m_parameterRegion, &m_stringRegion}) {
        RegionHeader header{};
        if (!platform::guardedRead(&header, region->mapping.base(), sizeof header))
            return -1;
        header.epoch = header.epoch + 1 == 0 ? 1 : header.epoch + 1;
        header.generation += 1;
        header.count = 0;
        if (!platform::guardedWrite(region->mapping.base(), &header, sizeof header))
            return -1;
    }
    return 0;
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
bool storeIfChanged(TableState<Payload>& table, std::uint32_t id, const Payload& payload)
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
bool replaceTable(TableState<Payload>& table, const std::vector<Payload>& items)
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
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    replaceTable(m_apps, apps);
    return publish();
}

std::int32_t ServiceLink::publishSites(const std::vector<SiteInfo>& sites)
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    replaceTable(m_sites, sites);
    return publish();
}

std::int32_t ServiceLink::setParameters(
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values)
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    bool changed = false;
    for (const auto& [id, value] : values) {
        ParameterValue payload;
        payload.value = value;
        changed = storeIfChanged(m_parameters, id, payload) || changed;
    }
    if (changed)
        ++m_parameters.changeCounter;
    return publish();
}

std::int32_t ServiceLink::setStrings(
    const std::vector<std::pair<std::uint32_t, std::u16string>>& texts)
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    pull();
    bool changed = false;
    for (const auto& [id, text] : texts) {
        VlString payload{};
        textToField(payload.text, text);
        changed = storeIfChanged(m_strings, id, payload) || changed;
    }
    if (changed)
        ++m_strings.changeCounter;
    return publish();
}

} // namespace servicelink
