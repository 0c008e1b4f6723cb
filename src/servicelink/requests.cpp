// The requests: reads from the mirrors, and the writing, adding and removing
// requests, each a pull, a change of the mirror and a publish under the link
// mutex.

#include "servicelink/velcomm.h"

#include "linktables.h"

#include "platform/log.h"

#include <algorithm>

namespace servicelink {
namespace {

// The mirror's entry for @p id, or null.
template <typename Payload>
const Payload* findEntry(const detail::TableState<Payload>& table, std::uint32_t id)
{
    const auto found = table.mirror.find(id);
    return found != table.mirror.end() ? &found->second.payload : nullptr;
}

// Copies the mirror's entry for @p id into @p payload: 0, or -1 when there
// is none.
template <typename Payload>
std::int32_t copyEntry(const detail::TableState<Payload>& table, std::uint32_t id, Payload& payload)
{
    const Payload* found = findEntry(table, id);
    if (found == nullptr)
        return -1;
    payload = *found;
    return 0;
}

// The writing request: pull, store, raise sequence and change counter, publish.
template <typename Payload, typename Store>
std::int32_t writeEntry(VelComm& link, platform::NamedMutex& mutex, int waitLimitMs,
                        detail::TableState<Payload>& table, std::uint32_t id, Store&& store)
{
    platform::NamedMutexLocker lock(mutex, waitLimitMs);
    if (!lock.ownsLock())
        return -1;
    link.pull();
    TableRecord<Payload>& entry = table.mirror[id];
    store(entry.payload);
    entry.id = id;
    entry.mark = 0;
    ++entry.sequence;
    ++table.changeCounter;
    return link.publish();
}

} // namespace

std::int32_t VelComm::controlCenterGetParameter(std::uint32_t id, std::uint32_t& value) const
{
    const auto* found = m_connected ? findEntry(m_tables->parameters.state, id) : nullptr;
    if (found == nullptr)
        return -1;
    value = found->value;
    return 0;
}

std::int32_t VelComm::controlCenterSetParameter(std::uint32_t id, std::uint32_t value)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->parameters.state, id,
                      [value](ParameterValue& payload) { payload.value = value; });
}

std::int32_t VelComm::getApplication(std::uint32_t id, AppInfo& info) const
{
    return m_connected ? copyEntry(m_tables->apps.state, id, info) : -1;
}

std::int32_t VelComm::controlCenterModifyApplication(const AppInfo& info)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->apps.state, info.id,
                      [&info](AppInfo& payload) { payload = info; });
}

std::int32_t VelComm::getSite(std::uint32_t id, SiteInfo& info) const
{
    return m_connected ? copyEntry(m_tables->sites.state, id, info) : -1;
}

std::int32_t VelComm::controlCenterModifySite(const SiteInfo& info)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->sites.state, info.id,
                      [&info](SiteInfo& payload) { payload = info; });
}

std::int32_t VelComm::getString(std::uint32_t id, std::u16string& text) const
{
    const auto* found = m_connected ? findEntry(m_tables->strings.state, id) : nullptr;
    if (found == nullptr)
        return -1;
    text = textFromField(found->text);
    return 0;
}

std::int32_t VelComm::setString(std::uint32_t id, const std::u16string& text)
{
    if (!m_connected)
        return -1;
    if (text.size() > kTextUnits) {
        platform::logLine("setString id " + std::to_string(id) + ": text of "
                          + std::to_string(text.size()) + " units cut to 260");
    }
    return writeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->strings.state, id,
                      [&text](VlString& payload) { textToField(payload.text, text); });
}

namespace {

// The adding request. It pulls first, like every writing request: a new
// epoch found by the pull drops the mirror, and must not drop the entry being
// added. An id the mirror holds already is left as it is.
template <typename Payload>
std::int32_t addEntry(VelComm& link, platform::NamedMutex& mutex, int waitLimitMs,
                      detail::TableState<Payload>& table, const Payload& payload)
{
    platform::NamedMutexLocker lock(mutex, waitLimitMs);
    if (!lock.ownsLock())
        return -1;
    const std::int32_t pulled = link.pull();
    if (table.mirror.count(payload.id) == 0) {
        TableRecord<Payload> record{};
        record.sequence = table.changeCounter;
        record.mark = 0;
        record.id = payload.id;
        record.payload = payload;
        table.mirror.emplace(payload.id, record);
        ++table.changeCounter;
    }
    const std::int32_t synchronised = link.synchronise();
    return synchronised == -1 ? -1 : std::max(pulled, synchronised);
}

template <typename Payload>
void appendIds(const detail::TableState<Payload>& table, std::vector<std::uint32_t>& ids)
{
    ids.reserve(ids.size() + table.mirror.size());
    for (const auto& entry : table.mirror)
        ids.push_back(entry.first);
}

} // namespace

std::int32_t VelComm::addApplication(const AppInfo& info)
{
    if (!m_connected)
        return -1;
    return addEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->apps.state, info);
}

std::int32_t VelComm::addSite(const SiteInfo& info)
{
    if (!m_connected)
        return -1;
    return addEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->sites.state, info);
}

std::int32_t VelComm::listApplicationIds(std::vector<std::uint32_t>& ids) const
{
    appendIds(m_tables->apps.state, ids);
    return 0;
}

std::int32_t VelComm::listSiteIds(std::vector<std::uint32_t>& ids) const
{
    appendIds(m_tables->sites.state, ids);
    return 0;
}

namespace {

// Removal is a writing request too: pull first, so the service's newest table
// is what the removal is applied to and what gets published without the entry.
template <typename Payload>
std::int32_t removeEntry(VelComm& link, platform::NamedMutex& mutex, int waitLimitMs,
                         detail::TableState<Payload>& table, std::uint32_t id)
{
    platform::NamedMutexLocker lock(mutex, waitLimitMs);
    if (!lock.ownsLock())
        return -1;
    link.pull();
    if (table.mirror.erase(id) == 0)
        return link.synchronise();
    ++table.changeCounter;
    return link.publish();
}

} // namespace

std::int32_t VelComm::removeApplication(std::uint32_t id)
{
    if (!m_connected)
        return -1;
    return removeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->apps.state, id);
}

std::int32_t VelComm::removeSite(std::uint32_t id)
{
    if (!m_connected)
        return -1;
    return removeEntry(*this, m_linkMutex, m_waitLimitMs, m_tables->sites.state, id);
}

// A service takes parameters and strings out of its tables the same way.
std::int32_t ServiceLink::removeParameter(std::uint32_t id)
{
    if (!isConnected())
        return -1;
    return removeEntry(*this, linkMutex(), mutexWaitLimit(), tables().parameters.state, id);
}

std::int32_t ServiceLink::removeString(std::uint32_t id)
{
    if (!isConnected())
        return -1;
    return removeEntry(*this, linkMutex(), mutexWaitLimit(), tables().strings.state, id);
}

} // namespace servicelink
