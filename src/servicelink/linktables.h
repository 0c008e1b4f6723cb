#pragma once

/// @file
/// @brief The table engine (private to the link): the four regions, their
/// mirrors and bookkeeping, and how pull and publish move records between
/// them.
///
/// The engine knows nothing of registration or the mutex: its callers hold
/// the link mutex around every call.

#include "servicelink/callback.h"
#include "servicelink/records.h"

#include "platform/namedevent.h"
#include "platform/sharedregion.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <new>
#include <vector>

namespace servicelink::detail {

/// @brief Memory for one table's mirror: blocks of the one size its entries
/// take, carved side by side from chunks of its own in the order they are
/// asked for. A freed block serves the next request; the chunks go when the
/// pool goes. Any other size comes from the heap.
class EntryPool final : public std::pmr::memory_resource {
public:
    EntryPool() = default;
    EntryPool(const EntryPool&) = delete;
    EntryPool& operator=(const EntryPool&) = delete;

private:
    static constexpr std::size_t kBlocksPerChunk = 64;

    struct FreeBlock {
        FreeBlock* next;
    };

    void* do_allocate(std::size_t bytes, std::size_t alignment) override
    {
        if (m_blockSize == 0 && bytes >= sizeof(FreeBlock) && alignment <= alignof(std::max_align_t))
            m_blockSize = (bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t)
                          * alignof(std::max_align_t);
        if (m_blockSize == 0 || bytes > m_blockSize || alignment > alignof(std::max_align_t))
            return std::pmr::new_delete_resource()->allocate(bytes, alignment);
        if (m_free != nullptr) {
            FreeBlock* block = m_free;
            m_free = block->next;
            return block;
        }
        if (m_unused == 0) {
            m_chunks.push_back(std::make_unique<std::max_align_t[]>(
                kBlocksPerChunk * m_blockSize / sizeof(std::max_align_t)));
            m_unused = kBlocksPerChunk;
        }
        auto* chunk = reinterpret_cast<std::byte*>(m_chunks.back().get());
        return chunk + (kBlocksPerChunk - m_unused--) * m_blockSize;
    }

    void do_deallocate(void* pointer, std::size_t bytes, std::size_t alignment) override
    {
        if (m_blockSize == 0 || bytes > m_blockSize || alignment > alignof(std::max_align_t)) {
            std::pmr::new_delete_resource()->deallocate(pointer, bytes, alignment);
            return;
        }
        m_free = new (pointer) FreeBlock{m_free};
    }

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override
    {
        return this == &other;
    }

    std::size_t m_blockSize = 0;   // of the first request; 0 until then
    std::vector<std::unique_ptr<std::max_align_t[]>> m_chunks;
    std::size_t m_unused = 0;      // blocks of the last chunk not handed out yet
    FreeBlock* m_free = nullptr;
};

/// @brief A table's mirror: its entries by id, iterated in ascending id.
///
/// An ordered map whose insertions and removals all go through here, so
/// that it can also hand out its entries as an array in ascending id
/// (`inOrder`), built again only after the set of ids changed: a walk over
/// a large table then takes no step through the tree and can fetch the
/// entries ahead of their use.
///
/// The entries live in chunks of their own, side by side in the order they
/// were added (mostly the order of their ids), not spread through the heap
/// between what the reports allocate: a pass over a large table reads memory
/// in order, and the items the reports build lie together too.
template <typename Record>
class Mirror {
public:
    using Map = std::pmr::map<std::uint32_t, Record>;
    using Entry = typename Map::value_type;
    using iterator = typename Map::iterator;
    using const_iterator = typename Map::const_iterator;

    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    auto rbegin() const { return m_entries.rbegin(); }
    auto rend() const { return m_entries.rend(); }
    std::size_t size() const { return m_entries.size(); }
    iterator find(std::uint32_t id) { return m_entries.find(id); }
    const_iterator find(std::uint32_t id) const { return m_entries.find(id); }
    std::size_t count(std::uint32_t id) const { return m_entries.count(id); }

    /// The entry for @p id, inserted value-initialised if absent.
    Record& operator[](std::uint32_t id)
    {
        const auto [entry, inserted] = m_entries.try_emplace(id);
        m_changes += inserted ? 1 : 0;
        return entry->second;
    }
    std::pair<iterator, bool> emplace(std::uint32_t id, const Record& record)
    {
        auto result = m_entries.emplace(id, record);
        m_changes += result.second ? 1 : 0;
        return result;
    }
    iterator erase(iterator entry)
    {
        ++m_changes;
        ++m_removals;
        return m_entries.erase(entry);
    }
    std::size_t erase(std::uint32_t id)
    {
        const std::size_t erased = m_entries.erase(id);
        m_changes += erased;
        m_removals += erased;
        return erased;
    }
    void clear()
    {
        ++m_changes;
        ++m_removals;
        m_entries.clear();
    }

    /// +1 by every removal: an entry of `inOrder` stays valid as long as
    /// this stays the same.
    std::uint64_t removals() const { return m_removals; }

    /// The entries in ascending id, valid until the next insertion or
    /// removal (a later call builds the array again).
    const std::vector<Entry*>& inOrder()
    {
        if (m_orderedAt != m_changes) {
            m_order.clear();
            m_order.reserve(m_entries.size());
            for (Entry& entry : m_entries)
                m_order.push_back(&entry);
            m_orderedAt = m_changes;
        }
        return m_order;
    }

private:
    EntryPool m_pool;
    Map m_entries{&m_pool};
    std::uint64_t m_changes = 0;      // +1 by every insertion or removal
    std::uint64_t m_removals = 0;
    std::uint64_t m_orderedAt = ~std::uint64_t{0};   // m_changes when m_order was built
    std::vector<Entry*> m_order;
};

/// @brief One table's mirror and bookkeeping.
template <typename Payload>
struct TableState {
    std::uint64_t changeCounter = 0;      ///< +1 by every local modification
    Mirror<TableRecord<Payload>> mirror;
    RegionHeader* header = nullptr;       ///< into the view; null while not connected
    std::uint64_t lastPublished = 0;      ///< changeCounter at the last publish
    std::uint64_t lastGeneration = 0;     ///< generation at the last pull or publish
    std::uint32_t epoch = 0;
    /// +1 at the start of every walk over the region: a walk that finds it
    /// changed after a report knows that a request issued from the report
    /// pulled this table again, which settled every mark and may have
    /// dropped entries.
    std::uint64_t walks = 0;
    /// Ids of the entries a new epoch dropped whose removal is still to be
    /// reported, highest id first (taken from the back: reported ascending);
    /// any pull of the table reports them before anything else.
    std::vector<std::uint32_t> pendingRemovals;

    // Diagnostics: the last problem reported for this table and the header it
    // was seen with, so that each bad header is logged once.
    int reportedProblem = 0;
    RegionHeader reportedHeader{};
};

/// @brief One region as the link holds it, and its table.
template <typename Payload>
struct Table {
    platform::SharedRegion mapping;       ///< the open file and its view
    std::uint64_t committedRecords = 0;   ///< records the committed prefix holds; 0 after a release
    TableState<Payload> state;

    /// Unmaps and closes the region; the mirror stays.
    void release() noexcept
    {
        mapping.release();
        committedRecords = 0;
        state.header = nullptr;
    }
};

/// @brief The four tables, in the order application, site, parameter, string.
struct Tables {
    Table<AppInfo> apps;
    Table<SiteInfo> sites;
    Table<ParameterValue> parameters;
    Table<VlString> strings;

    /// Calls @p visit with each table, in the order above.
    template <typename Visit>
    void forEach(Visit&& visit)
    {
        visit(apps);
        visit(sites);
        visit(parameters);
        visit(strings);
    }
};

/// @brief What the engine needs of its link for one pull or publish.
struct LinkSide {
    Callback& callback;             ///< receives the reports
    bool serviceSide;               ///< a take-over keeps this side's speeds, else priority and pin
    platform::NamedEvent* notify;   ///< set once per published table; may be null
};

/// @brief Brings every mirror up to date and reports each change, tables in
/// the order parameters, applications, sites, strings.
/// @return 1 when parameter 0 or 1 was taken over as changed, else 0.
std::int32_t pullTables(Tables& tables, const LinkSide& side);

/// @brief Writes every table changed locally back, in the order
/// applications, sites, parameters, strings.
/// @return false when a commit or a write failed; that table and the ones
/// after it wait for the next publish.
bool publishTables(Tables& tables, const LinkSide& side);

} // namespace servicelink::detail
