#include "linktables.h"

#include "servicelink/protocol.h"

#include "platform/faultguard.h"
#include "platform/log.h"
#include "platform/posixcall.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

namespace servicelink::detail {

namespace {

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

std::uint8_t* recordAddress(const platform::SharedRegion& mapping, std::uint64_t index,
                            std::uint64_t recordSize)
{
    return mapping.base() + sizeof(RegionHeader) + index * recordSize;
}

// Asks the processor to fetch @p size bytes at @p address into the cache.
// In a large table a record and its mirror entry are far from anything the
// walk touched before; fetched one record ahead, they arrive while the
// current one is reported. (Never faults, not even beyond a file's end.)
void prefetch(const void* address, std::size_t size)
{
    constexpr std::size_t kLine = 64;
    const auto* bytes = static_cast<const char*>(address);
    for (std::size_t offset = 0; offset < size; offset += kLine)
        __builtin_prefetch(bytes + offset);
}

} // namespace

// ---------------------------------------------------------------------------
// The four tables differ only in payload, callbacks and field ownership.
// ---------------------------------------------------------------------------

struct AppTable {
    using Payload = AppInfo;
    static constexpr const char* name = "application";
    static constexpr bool checksEpoch = true;
    static Table<AppInfo>& of(Tables& tables) { return tables.apps; }
};

struct SiteTable {
    using Payload = SiteInfo;
    static constexpr const char* name = "site";
    // The site mirror is reconciled by the generation path alone.
    static constexpr bool checksEpoch = false;
    static Table<SiteInfo>& of(Tables& tables) { return tables.sites; }
};

struct ParameterTable {
    using Payload = ParameterValue;
    static constexpr const char* name = "parameter";
    static constexpr bool checksEpoch = true;
    static Table<ParameterValue>& of(Tables& tables) { return tables.parameters; }
};

struct StringTable {
    using Payload = VlString;
    static constexpr const char* name = "string";
    static constexpr bool checksEpoch = true;
    static Table<VlString>& of(Tables& tables) { return tables.strings; }
};

template <typename Kind>
struct TableOps {
    using Payload = typename Kind::Payload;
    using Record = TableRecord<Payload>;
    static constexpr std::uint64_t kRecordSize = sizeof(Record);

    const LinkSide& side;
    Table<Payload>& region;
    TableState<Payload>& table;
    Callback& callback;
    // Whether entries may be marked unseen after the walk.
    bool marked = false;
    // The record being taken over, read from the region.
    Record scratch;

    TableOps(Tables& tables, const LinkSide& linkSide)
        : side(linkSide)
        , region(Kind::of(tables))
        , table(Kind::of(tables).state)
        , callback(linkSide.callback)
    {
    }

    // --- callbacks by table ---

    void reportAdded(std::uint32_t id, const Payload& payload);
    void reportRemoved(std::uint32_t id);
    // Takes @p record over into @p entry and reports the change.
    void takeOver(Record& entry, Record& record, std::int32_t& result);

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

        if (!walk(result))
            return;

        if (marked)
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
    //
    // Every entry the walk does not find in the region is marked unseen and
    // removed after it. Marks are set lazily: both sides write a table in
    // ascending id, so as long as each record is the mirror's next entry in
    // that order (`order[next]`), the entries before `next` are the ones
    // seen and no entry needs its mark, nor a record a search of the tree.
    // The first record past `order[next]` marks the entries from `next` on
    // unseen, and the walk goes on by searching.
    bool walk(std::int32_t& result)
    {
        std::uint64_t available = recordsInFile(region.mapping.knownSize(), kRecordSize);
        const std::uint64_t walkNumber = ++table.walks;
        const std::uint64_t removals = table.mirror.removals();
        const auto& order = table.mirror.inOrder();
        std::size_t next = 0;
        bool inOrder = true;
        marked = false;
        for (std::uint64_t i = 0;; ++i) {
            if (table.walks != walkNumber || table.mirror.removals() != removals) {
                // A report pulled this table again or dropped entries: that
                // settled the marks, and `order` may hold entries that are
                // gone. Whatever is marked is looked for after the walk.
                inOrder = false;
                marked = true;
            }
            RegionHeader header{};
            if (!readHeader(header))
                return abandonWalk(header, i);
            if (i >= header.count)
                break;
            if (i >= available) {
                available = recordsInFile(region.mapping.refreshSize(), kRecordSize);
                if (i >= available) {
                    report(kCountBeyondFile, header,
                           "count claims more records than region " + region.mapping.path()
                               + " holds (" + std::to_string(available) + "); reading those");
                    break;
                }
            }
            const std::uint8_t* address = recordAddress(region.mapping, i, kRecordSize);
            RecordHead head{};
            if (!platform::guardedRead(&head, address, sizeof head))
                return abandonWalk(header, i);

            Record* entry = nullptr;
            if (inOrder && next < order.size()) {
                if (order[next]->first == head.id) {
                    entry = &order[next]->second;
                    if (++next < order.size()) {
                        prefetch(order[next], sizeof *order[next]);
                        prefetch(address + kRecordSize, kRecordSize);
                    }
                } else if (order[next]->first < head.id) {
                    markUnseen(order, next);
                    inOrder = false;
                }
            }
            if (entry == nullptr) {
                const auto found = table.mirror.find(head.id);
                if (found != table.mirror.end())
                    entry = &found->second;
            }

            if (entry == nullptr) {
                if (!platform::guardedRead(&scratch, address, sizeof scratch))
                    return abandonWalk(header, i);
                scratch.mark = 0;
                auto inserted = table.mirror.emplace(scratch.id, scratch).first;
                reportAdded(inserted->first, inserted->second.payload);
            } else {
                entry->mark = 0;
                if (entry->sequence < head.sequence) {
                    if (!platform::guardedRead(&scratch, address, sizeof scratch))
                        return abandonWalk(header, i);
                    takeOver(*entry, scratch, result);
                }
            }
        }
        if (inOrder)
            markUnseen(order, next);
        return true;
    }

    // Marks the entries of @p order from @p from on unseen.
    template <typename Order>
    void markUnseen(const Order& order, std::size_t from)
    {
        for (; from < order.size(); ++from) {
            order[from]->second.mark = 1;
            marked = true;
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
        const Mirror<Record>* mirror;
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
        WriteContext context{recordAddress(region.mapping, 0, kRecordSize), &table.mirror};
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
        if (side.notify != nullptr)
            side.notify->set();
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
void TableOps<ParameterTable>::takeOver(Record& entry, Record& record, std::int32_t& result)
{
    entry.sequence = record.sequence;
    entry.id = record.id;
    entry.payload = record.payload;
    if (record.id == kParameterRequestedActive || record.id == kParameterActualActive)
        result = 1;
    callback.onParameterChanged(record.id, record.payload.value);
}

template <>
void TableOps<StringTable>::takeOver(Record& entry, Record& record, std::int32_t&)
{
    entry.sequence = record.sequence;
    entry.id = record.id;
    entry.payload = record.payload;
    callback.onStringChanged(record.id, textFromField(entry.payload.text));
}

// Copies the 64-byte blocks of @p source that differ from @p target: an
// entry taken over mostly differs in a few numbers, and a block left alone
// is not written back from the cache.
void copyChangedBlocks(void* target, const void* source, std::size_t size)
{
    constexpr std::size_t kBlock = 64;
    auto* to = static_cast<std::uint8_t*>(target);
    const auto* from = static_cast<const std::uint8_t*>(source);
    for (std::size_t offset = 0; offset < size; offset += kBlock) {
        const std::size_t length = std::min(kBlock, size - offset);
        if (std::memcmp(to + offset, from + offset, length) != 0)
            std::memcpy(to + offset, from + offset, length);
    }
}

// Applications and sites: a client keeps its own priority and pin, the
// service keeps its own speeds; everything else comes from the record (a
// copy, which this changes).
template <typename Payload>
void takeOverShared(bool serviceSide, TableRecord<Payload>& entry, TableRecord<Payload>& record)
{
    if (serviceSide) {
        record.payload.downloadSpeed = entry.payload.downloadSpeed;
        record.payload.uploadSpeed = entry.payload.uploadSpeed;
    } else {
        record.payload.priority = entry.payload.priority;
        record.payload.isPinned = entry.payload.isPinned;
    }
    entry.id = record.id;
    copyChangedBlocks(&entry.payload, &record.payload, sizeof(Payload));
}

template <>
void TableOps<AppTable>::takeOver(Record& entry, Record& record, std::int32_t&)
{
    takeOverShared(side.serviceSide, entry, record);
    callback.onAppChanged(entry.payload.id, entry.payload);
    entry.sequence = record.sequence;
    entry.mark = 0;
}

template <>
void TableOps<SiteTable>::takeOver(Record& entry, Record& record, std::int32_t&)
{
    takeOverShared(side.serviceSide, entry, record);
    callback.onSiteChanged(entry.payload.id, entry.payload);
    entry.sequence = record.sequence;
    entry.mark = 0;
}

std::int32_t pullTables(Tables& tables, const LinkSide& side)
{
    std::int32_t result = 0;
    TableOps<ParameterTable>(tables, side).pull(result);
    TableOps<AppTable>(tables, side).pull(result);
    TableOps<SiteTable>(tables, side).pull(result);
    TableOps<StringTable>(tables, side).pull(result);
    return result;
}

bool publishTables(Tables& tables, const LinkSide& side)
{
    return TableOps<AppTable>(tables, side).publish() && TableOps<SiteTable>(tables, side).publish()
           && TableOps<ParameterTable>(tables, side).publish()
           && TableOps<StringTable>(tables, side).publish();
}

} // namespace servicelink::detail
