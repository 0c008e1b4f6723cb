#include "servicelink/velcomm.h"

#include "servicelink/objectnames.h"

#include "platform/faultguard.h"
#include "platform/log.h"
#include "platform/namedobject.h"
#include "platform/posixcall.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sstream>

namespace servicelink {
namespace {

// Receives the reports of a link registered without a callback.
struct SilentCallback final : Callback {};

SilentCallback& silentCallback()
{
    static SilentCallback silent;
    return silent;
}

// What went wrong with a table, for the once-per-header log lines.
enum Problem : int {
    kNoProblem = 0,
    kCountBeyondFile = 1,   // count claims more records than the file holds
    kFault = 2,             // SIGBUS: the file shrank under the reader
    kCommitFailed = 3,
};

std::string headerText(const RegionHeader& header)
{
    std::ostringstream text;
    text << "(generation " << header.generation << ", count " << header.count << ", epoch "
         << header.epoch << ")";
    return text.str();
}

// Records of @p recordSize that lie wholly inside a file of @p fileSize bytes
// and inside the view; 64-bit throughout.
std::uint64_t recordsInFile(std::uint64_t fileSize, std::uint64_t recordSize)
{
    const std::uint64_t usable = std::min(fileSize, platform::kRegionViewLength);
    if (usable < sizeof(RegionHeader))
        return 0;
    return (usable - sizeof(RegionHeader)) / recordSize;
}

std::uint8_t* recordAddress(const RegionHandle& region, std::uint64_t index,
                            std::uint64_t recordSize)
{
    return region.mapping.base() + sizeof(RegionHeader) + index * recordSize;
}

} // namespace

// ---------------------------------------------------------------------------
// The four tables differ only in payload, callbacks and field ownership.
// ---------------------------------------------------------------------------

struct AppTable {
    using Payload = AppInfo;
    static constexpr const char* name = "application";
    static constexpr bool checksEpoch = true;
    static RegionHandle& region(VelComm& link) { return link.m_appRegion; }
    static TableState<AppInfo>& table(VelComm& link) { return link.m_apps; }
};

struct SiteTable {
    using Payload = SiteInfo;
    static constexpr const char* name = "site";
    // The site mirror is reconciled by the generation path alone.
    static constexpr bool checksEpoch = false;
    static RegionHandle& region(VelComm& link) { return link.m_siteRegion; }
    static TableState<SiteInfo>& table(VelComm& link) { return link.m_sites; }
};

struct ParameterTable {
    using Payload = ParameterValue;
    static constexpr const char* name = "parameter";
    static constexpr bool checksEpoch = true;
    static RegionHandle& region(VelComm& link) { return link.m_parameterRegion; }
    static TableState<ParameterValue>& table(VelComm& link) { return link.m_parameters; }
};

struct StringTable {
    using Payload = VlString;
    static constexpr const char* name = "string";
    static constexpr bool checksEpoch = true;
    static RegionHandle& region(VelComm& link) { return link.m_stringRegion; }
    static TableState<VlString>& table(VelComm& link) { return link.m_strings; }
};

template <typename Kind>
struct TableOps {
    using Payload = typename Kind::Payload;
    using Record = TableRecord<Payload>;
    static constexpr std::uint64_t kRecordSize = sizeof(Record);

    VelComm& link;
    RegionHandle& region;
    TableState<Payload>& table;
    Callback& callback;

    explicit TableOps(VelComm& owner)
        : link(owner)
        , region(Kind::region(owner))
        , table(Kind::table(owner))
        , callback(owner.m_callback != nullptr ? *owner.m_callback : silentCallback())
    {
    }

    // --- callbacks by table ---

    void reportAdded(std::uint32_t id, const Payload& payload);
    void reportRemoved(std::uint32_t id);
    // Takes @p record over into @p entry and reports the change.
    void takeOver(Record& entry, const Record& record, std::int32_t& result);

    void report(int problem, const RegionHeader& header, const std::string& detail)
    {
        if (table.reportedProblem == problem
            && std::memcmp(&table.reportedHeader, &header, sizeof header) == 0)
            return;
        table.reportedProblem = problem;
        table.reportedHeader = header;
        platform::logLine(std::string(Kind::name) + " table " + headerText(header) + ": " + detail);
    }

    bool readHeader(RegionHeader& header) const
    {
        return platform::guardedRead(&header, region.mapping.base(), sizeof header);
    }

    // --- pull ---

    void pull(std::int32_t& result)
    {
        RegionHeader header{};
        if (!readHeader(header)) {
            report(kFault, header, "region " + region.mapping.path()
                                       + " shorter than its header; table left unchanged");
            return;
        }

        if (Kind::checksEpoch && header.epoch != table.epoch) {
            table.epoch = header.epoch;
            // Dropped now, reported below: a request issued from one of those
            // reports pulls this table again, and that pull must neither see
            // the old entries nor report anything before their removal.
            for (auto entry = table.mirror.rbegin(); entry != table.mirror.rend(); ++entry)
                table.pendingRemovals.push_back(entry->first);
            table.mirror.clear();
            table.changeCounter = 0;
            // The counter starts again at 0: a table this side had published
            // must still differ from its last-published mark at the next
            // publish (the reloaded table is written back), also after one
            // new local change.
            if (table.lastPublished != 0)
                table.lastPublished = std::numeric_limits<std::uint64_t>::max();
            table.lastGeneration = header.generation - 1;
        }

        if (!table.pendingRemovals.empty()) {
            while (!table.pendingRemovals.empty()) {
                const std::uint32_t id = table.pendingRemovals.back();
                table.pendingRemovals.pop_back();
                reportRemoved(id);
            }
            // Re-read: a removal report may have written this table meanwhile.
            if (!readHeader(header)) {
                report(kFault, header, "region " + region.mapping.path()
                                           + " shorter than its header; table left unchanged");
                return;
            }
        }

        if (header.generation == table.lastGeneration)
            return;

        for (auto& entry : table.mirror)
            entry.second.mark = 1;

        if (!walk(result))
            return;

        removeUnseen();

        // The region as this pull leaves it, which a nested publish may have
        // rewritten since the walk began.
        if (!readHeader(header)) {
            report(kFault, header, "region " + region.mapping.path()
                                       + " shorter than its header; table left unchanged");
            return;
        }
        table.lastGeneration = header.generation;
    }

    // Walks the records below count, re-reading count on every step (a nested
    // request may rewrite the table), and never past the file's end. Returns
    // false when a fault ended the walk; the table then counts as unchanged.
    bool walk(std::int32_t& result)
    {
        std::uint64_t available = recordsInFile(region.mapping.knownSize(), kRecordSize);
        for (std::uint64_t i = 0;; ++i) {
            RegionHeader header{};
            if (!readHeader(header))
                return abandonWalk(header, i);
            if (i >= header.count)
                return true;
            if (i >= available) {
                available = recordsInFile(region.mapping.refreshSize(), kRecordSize);
                if (i >= available) {
                    report(kCountBeyondFile, header,
                           "count claims more records than region " + region.mapping.path()
                               + " holds (" + std::to_string(available) + "); reading those");
                    return true;
                }
            }
            const std::uint8_t* address = recordAddress(region, i, kRecordSize);
            RecordHead head{};
            if (!platform::guardedRead(&head, address, sizeof head))
                return abandonWalk(header, i);

            auto found = table.mirror.find(head.id);
            if (found == table.mirror.end()) {
                Record record{};
                if (!platform::guardedRead(&record, address, sizeof record))
                    return abandonWalk(header, i);
                record.mark = 0;
                auto inserted = table.mirror.emplace(record.id, record).first;
                reportAdded(inserted->first, inserted->second.payload);
            } else {
                found->second.mark = 0;
                if (found->second.sequence < head.sequence) {
                    Record record{};
                    if (!platform::guardedRead(&record, address, sizeof record))
                        return abandonWalk(header, i);
                    takeOver(found->second, record, result);
                }
            }
        }
    }

    bool abandonWalk(const RegionHeader& header, std::uint64_t index)
    {
        for (auto& entry : table.mirror)
            entry.second.mark = 0;
        report(kFault, header, "region " + region.mapping.path() + " shrank under the reader at record "
                                   + std::to_string(index) + "; table left unchanged");
        return false;
    }

    void removeUnseen()
    {
        std::vector<std::uint32_t> unseen;
        for (const auto& entry : table.mirror) {
            if (entry.second.mark == 1)
                unseen.push_back(entry.first);
        }
        for (std::uint32_t id : unseen) {
            // A report may have issued a request that pulled this table again.
            auto found = table.mirror.find(id);
            if (found == table.mirror.end() || found->second.mark != 1)
                continue;
            // Out of the mirror before the report: a request issued from it
            // pulls again and must not find (and report) this entry again.
            table.mirror.erase(found);
            reportRemoved(id);
        }
    }

    // --- publish ---

    struct WriteContext {
        std::uint8_t* target;
        const std::map<std::uint32_t, Record>* mirror;
    };

    static void writeRecords(void* context)
    {
        auto* write = static_cast<WriteContext*>(context);
        std::uint8_t* target = write->target;
        for (const auto& entry : *write->mirror) {
            std::memcpy(target, &entry.second, sizeof(Record));
            target += kRecordSize;
        }
    }

    bool publish()
    {
        if (table.changeCounter == table.lastPublished)
            return true;
        const std::uint64_t records = table.mirror.size();
        RegionHeader header{};
        readHeader(header);
        if (region.committedRecords < records) {
            const std::uint64_t length = records * kRecordSize + sizeof(RegionHeader);
            const int error = length > platform::kRegionViewLength ? ENOMEM
                                                                    : region.mapping.commit(length);
            if (error != 0) {
                report(kCommitFailed, header,
                       "committing " + std::to_string(length) + " bytes of region "
                           + region.mapping.path() + " failed: " + platform::errorText(error));
                return false;
            }
            region.committedRecords = records;
        }
        WriteContext context{recordAddress(region, 0, kRecordSize), &table.mirror};
        if (!platform::guardedRun(writeRecords, &context) || !readHeader(header)) {
            region.committedRecords = 0;
            report(kFault, header, "region " + region.mapping.path()
                                       + " shrank under the writer; table not published");
            return false;
        }
        const std::uint64_t generation = header.generation + 1;
        const auto count = static_cast<std::uint32_t>(records);
        RegionHeader* target = reinterpret_cast<RegionHeader*>(region.mapping.base());
        if (!platform::guardedWrite(&target->generation, &generation, sizeof generation)
            || !platform::guardedWrite(&target->count, &count, sizeof count)) {
            region.committedRecords = 0;
            report(kFault, header, "region " + region.mapping.path()
                                       + " shrank under the writer; table not published");
            return false;
        }
        table.lastGeneration = generation;
        table.lastPublished = table.changeCounter;
        if (link.m_notify != nullptr)
            link.m_notify->set();
        return true;
    }
};

// --- per-table reports and take-over rules ---

template <>
void TableOps<AppTable>::reportAdded(std::uint32_t id, const AppInfo& payload)
{
    callback.onAppAdd(id, payload);
}

template <>
void TableOps<AppTable>::reportRemoved(std::uint32_t id)
{
    callback.onAppRemoved(id);
}

template <>
void TableOps<SiteTable>::reportAdded(std::uint32_t id, const SiteInfo& payload)
{
    callback.onSiteAdd(id, payload);
}

template <>
void TableOps<SiteTable>::reportRemoved(std::uint32_t id)
{
    callback.onSiteRemoved(id);
}

template <>
void TableOps<ParameterTable>::reportAdded(std::uint32_t id, const ParameterValue& payload)
{
    callback.onParameterAdd(id, payload.value);
}

template <>
void TableOps<ParameterTable>::reportRemoved(std::uint32_t id)
{
    callback.onParameterRemoved(id);
}

template <>
void TableOps<StringTable>::reportAdded(std::uint32_t id, const VlString& payload)
{
    callback.onStringAdd(id, textFromField(payload.text));
}

template <>
void TableOps<StringTable>::reportRemoved(std::uint32_t id)
{
    callback.onStringRemoved(id);
}

template <>
void TableOps<ParameterTable>::takeOver(Record& entry, const Record& record, std::int32_t& result)
{
    entry.sequence = record.sequence;
    entry.id = record.id;
    entry.payload = record.payload;
    if (record.id == kParameterRequestedActive || record.id == kParameterActualActive)
        result = 1;
    callback.onParameterChanged(record.id, record.payload.value);
}

template <>
void TableOps<StringTable>::takeOver(Record& entry, const Record& record, std::int32_t&)
{
    entry.sequence = record.sequence;
    entry.id = record.id;
    entry.payload = record.payload;
    callback.onStringChanged(record.id, textFromField(entry.payload.text));
}

// Applications and sites: a client keeps its own priority and pin, the
// service keeps its own speeds; everything else comes from the record.
template <typename Payload>
void takeOverShared(bool serviceSide, TableRecord<Payload>& entry, const TableRecord<Payload>& record)
{
    const std::uint8_t oldPinned = entry.payload.isPinned;
    const std::uint32_t oldPriority = entry.payload.priority;
    const std::uint32_t oldDownload = entry.payload.downloadSpeed;
    const std::uint32_t oldUpload = entry.payload.uploadSpeed;
    entry.id = record.id;
    entry.payload = record.payload;
    if (serviceSide) {
        entry.payload.downloadSpeed = oldDownload;
        entry.payload.uploadSpeed = oldUpload;
    } else {
        entry.payload.priority = oldPriority;
        entry.payload.isPinned = oldPinned;
    }
}

template <>
void TableOps<AppTable>::takeOver(Record& entry, const Record& record, std::int32_t&)
{
    takeOverShared(link.m_serviceSide, entry, record);
    callback.onAppChanged(entry.payload.id, entry.payload);
    entry.sequence = record.sequence;
    entry.mark = 0;
}

template <>
void TableOps<SiteTable>::takeOver(Record& entry, const Record& record, std::int32_t&)
{
    takeOverShared(link.m_serviceSide, entry, record);
    callback.onSiteChanged(entry.payload.id, entry.payload);
    entry.sequence = record.sequence;
    entry.mark = 0;
}

// ---------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------

VelComm::VelComm() = default;

VelComm::~VelComm()
{
    // Direct calls: in a destructor the virtual slot is this class's anyway.
    VelComm::vlcommUnregister();
    releaseRegions();
}

void VelComm::setTickSource(platform::TickSource source, void* context) noexcept
{
    m_tick = source != nullptr ? source : platform::monotonicTick;
    m_tickContext = context;
}

std::string VelComm::objectDirectory() const
{
    return m_objectDirectory.empty() ? platform::objectDirectory() : m_objectDirectory;
}

void VelComm::releaseRegions() noexcept
{
    for (RegionHandle* region : {&m_appRegion, &m_siteRegion, &m_parameterRegion, &m_stringRegion}) {
        region->mapping.release();
        region->committedRecords = 0;
    }
}

void VelComm::logRegistrationProblem(const std::string& line)
{
    // A missing service is retried every 200 ms: say why once, not each time.
    if (line == m_lastRegistrationProblem)
        return;
    m_lastRegistrationProblem = line;
    platform::logLine(line);
}

std::int32_t VelComm::vlcommRegister(Callback* callback, platform::NamedEvent** serviceEvent)
{
    vlcommUnregister();

    const std::string directory = objectDirectory();
    // What this side creates gets the creator's mode (set by a service), or 0600.
    const mode_t mode = m_appRegion.securityAttributes != 0 ? m_appRegion.securityAttributes
                                                            : platform::kDefaultObjectMode;
    std::string why;
    m_linkMutex = platform::NamedMutex::openOrCreate(platform::objectPath(directory, kLinkMutexName),
                                                     why, mode);
    if (!m_linkMutex.isValid()) {
        logRegistrationProblem("registration failed: " + why);
        return -1;
    }
    m_serviceEvent = platform::NamedEvent::openOrCreate(
        platform::objectPath(directory, kServiceEventName), why, mode);
    if (!m_serviceEvent.isValid())
        logRegistrationProblem("service event: " + why);
    m_clientEvent = platform::NamedEvent::openOrCreate(
        platform::objectPath(directory, kClientEventName), why, mode);
    if (!m_clientEvent.isValid())
        logRegistrationProblem("client event: " + why);

    m_apps.lastPublished = m_apps.lastGeneration = 0;
    m_sites.lastPublished = m_sites.lastGeneration = 0;
    m_parameters.lastPublished = m_parameters.lastGeneration = 0;
    m_strings.lastPublished = m_strings.lastGeneration = 0;

    platform::NamedMutexLocker lock(m_linkMutex);

    if (serviceEvent != nullptr)
        *serviceEvent = &m_serviceEvent;
    // The client wakes the service; a service-side link wakes the client's
    // side instead of itself.
    m_notify = m_serviceSide ? &m_serviceEvent : &m_clientEvent;

    const std::pair<RegionHandle*, const char*> regions[] = {
        {&m_appRegion, kAppRegionName},
        {&m_siteRegion, kSiteRegionName},
        {&m_parameterRegion, kParameterRegionName},
        {&m_stringRegion, kStringRegionName},
    };
    for (const auto& [region, name] : regions) {
        region->mapping.release();
        region->committedRecords = 0;
        region->mapping = platform::SharedRegion::open(platform::objectPath(directory, name), why);
        if (!region->mapping.isValid()) {
            logRegistrationProblem("registration failed: " + why);
            return -1;
        }
    }

    m_apps.header = reinterpret_cast<RegionHeader*>(m_appRegion.mapping.base());
    m_sites.header = reinterpret_cast<RegionHeader*>(m_siteRegion.mapping.base());
    m_parameters.header = reinterpret_cast<RegionHeader*>(m_parameterRegion.mapping.base());
    m_strings.header = reinterpret_cast<RegionHeader*>(m_stringRegion.mapping.base());
    m_callback = callback;
    m_alive = false;
    m_pollsSinceChange = 0;
    m_lastHeartbeat = 0;
    m_connected = true;
    if (!m_lastRegistrationProblem.empty()) {
        platform::logLine("registered, after: " + m_lastRegistrationProblem);
        m_lastRegistrationProblem.clear();
    }
    return 0;
}

std::int32_t VelComm::vlcommUnregister()
{
    m_linkMutex.close();
    m_serviceEvent.close();
    m_clientEvent.close();
    m_notify = nullptr;
    releaseRegions();
    m_apps.header = nullptr;
    m_sites.header = nullptr;
    m_parameters.header = nullptr;
    m_strings.header = nullptr;
    m_connected = false;
    return 0;
}

bool VelComm::activeStateValues(std::uint32_t& requested, std::uint32_t& actual) const
{
    const auto requestedEntry = m_parameters.mirror.find(kParameterRequestedActive);
    const auto actualEntry = m_parameters.mirror.find(kParameterActualActive);
    if (requestedEntry == m_parameters.mirror.end() || actualEntry == m_parameters.mirror.end())
        return false;
    requested = requestedEntry->second.payload.value;
    actual = actualEntry->second.payload.value;
    return true;
}

// ---------------------------------------------------------------------------
// Mirror synchronisation
// ---------------------------------------------------------------------------

std::int32_t VelComm::pull()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    std::int32_t result = 0;

    TableOps<ParameterTable>(*this).pull(result);
    TableOps<AppTable>(*this).pull(result);
    TableOps<SiteTable>(*this).pull(result);
    TableOps<StringTable>(*this).pull(result);
    return result;
}

std::int32_t VelComm::publish()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    if (!TableOps<AppTable>(*this).publish())
        return -1;
    if (!TableOps<SiteTable>(*this).publish())
        return -1;
    if (!TableOps<ParameterTable>(*this).publish())
        return -1;
    if (!TableOps<StringTable>(*this).publish())
        return -1;
    return 0;
}

std::int32_t VelComm::synchronise()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    const std::int32_t pulled = pull();
    if (pulled == -1)
        return -1;
    if (publish() == -1)
        return -1;
    return pulled;
}

// ---------------------------------------------------------------------------
// Requests
// ---------------------------------------------------------------------------

namespace {

// The writing request: pull, store, raise sequence and change counter, publish.
template <typename Payload, typename Store>
std::int32_t writeEntry(VelComm& link, platform::NamedMutex& mutex, TableState<Payload>& table,
                        std::uint32_t id, Store&& store)
{
    platform::NamedMutexLocker lock(mutex);
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
    if (!m_connected)
        return -1;
    const auto found = m_parameters.mirror.find(id);
    if (found == m_parameters.mirror.end())
        return -1;
    value = found->second.payload.value;
    return 0;
}

std::int32_t VelComm::controlCenterSetParameter(std::uint32_t id, std::uint32_t value)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_parameters, id,
                      [value](ParameterValue& payload) { payload.value = value; });
}

std::int32_t VelComm::getApplication(std::uint32_t id, AppInfo& info) const
{
    if (!m_connected)
        return -1;
    const auto found = m_apps.mirror.find(id);
    if (found == m_apps.mirror.end())
        return -1;
    info = found->second.payload;
    return 0;
}

std::int32_t VelComm::controlCenterModifyApplication(const AppInfo& info)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_apps, info.id,
                      [&info](AppInfo& payload) { payload = info; });
}

std::int32_t VelComm::getSite(std::uint32_t id, SiteInfo& info) const
{
    if (!m_connected)
        return -1;
    const auto found = m_sites.mirror.find(id);
    if (found == m_sites.mirror.end())
        return -1;
    info = found->second.payload;
    return 0;
}

std::int32_t VelComm::controlCenterModifySite(const SiteInfo& info)
{
    if (!m_connected)
        return -1;
    return writeEntry(*this, m_linkMutex, m_sites, info.id,
                      [&info](SiteInfo& payload) { payload = info; });
}

std::int32_t VelComm::getString(std::uint32_t id, std::u16string& text) const
{
    if (!m_connected)
        return -1;
    const auto found = m_strings.mirror.find(id);
    if (found == m_strings.mirror.end())
        return -1;
    text = textFromField(found->second.payload.text);
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
    return writeEntry(*this, m_linkMutex, m_strings, id,
                      [&text](VlString& payload) { textToField(payload.text, text); });
}

namespace {

template <typename Payload>
void addEntry(TableState<Payload>& table, const Payload& payload)
{
    if (table.mirror.count(payload.id) != 0)
        return;
    TableRecord<Payload> record{};
    record.sequence = table.changeCounter;
    record.mark = 0;
    record.id = payload.id;
    record.payload = payload;
    table.mirror.emplace(payload.id, record);
    ++table.changeCounter;
}

template <typename Payload>
void appendIds(const TableState<Payload>& table, std::vector<std::uint32_t>& ids)
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
    // Pull first, like every writing request: a new epoch found by the pull
    // drops the mirror, and must not drop the entry being added.
    platform::NamedMutexLocker lock(m_linkMutex);
    const std::int32_t pulled = pull();
    addEntry(m_apps, info);
    const std::int32_t synchronised = synchronise();
    return synchronised == -1 ? -1 : std::max(pulled, synchronised);
}

std::int32_t VelComm::addSite(const SiteInfo& info)
{
    if (!m_connected)
        return -1;
    // Pull first, like every writing request: a new epoch found by the pull
    // drops the mirror, and must not drop the entry being added.
    platform::NamedMutexLocker lock(m_linkMutex);
    const std::int32_t pulled = pull();
    addEntry(m_sites, info);
    const std::int32_t synchronised = synchronise();
    return synchronised == -1 ? -1 : std::max(pulled, synchronised);
}

std::int32_t VelComm::listApplicationIds(std::vector<std::uint32_t>& ids) const
{
    appendIds(m_apps, ids);
    return 0;
}

std::int32_t VelComm::listSiteIds(std::vector<std::uint32_t>& ids) const
{
    appendIds(m_sites, ids);
    return 0;
}

namespace {

// Removal is a writing request too: pull first, so the service's newest table
// is what the removal is applied to and what gets published without the entry.
template <typename Payload>
std::int32_t removeEntry(VelComm& link, platform::NamedMutex& mutex, TableState<Payload>& table,
                         std::uint32_t id)
{
    platform::NamedMutexLocker lock(mutex);
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
    return removeEntry(*this, m_linkMutex, m_apps, id);
}

std::int32_t VelComm::removeSite(std::uint32_t id)
{
    if (!m_connected)
        return -1;
    return removeEntry(*this, m_linkMutex, m_sites, id);
}

// A service takes parameters and strings out of its tables the same way.
std::int32_t ServiceLink::removeParameter(std::uint32_t id)
{
    if (!m_connected)
        return -1;
    return removeEntry(*this, m_linkMutex, m_parameters, id);
}

std::int32_t ServiceLink::removeString(std::uint32_t id)
{
    if (!m_connected)
        return -1;
    return removeEntry(*this, m_linkMutex, m_strings, id);
}

} // namespace servicelink
