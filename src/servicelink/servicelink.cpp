#include "servicelink/velcomm.h"

#include "servicelink/objectnames.h"

#include "platform/faultguard.h"
#include "platform/log.h"
#include "platform/namedobject.h"

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

} // namespace servicelink
