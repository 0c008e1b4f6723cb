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

#include <cstdint>
#include <map>
#include <vector>

namespace servicelink::detail {

/// @brief One table's mirror and bookkeeping.
template <typename Payload>
struct TableState {
    std::uint64_t changeCounter = 0;      ///< +1 by every local modification
    std::map<std::uint32_t, TableRecord<Payload>> mirror;
    RegionHeader* header = nullptr;       ///< into the view; null while not connected
    std::uint64_t lastPublished = 0;      ///< changeCounter at the last publish
    std::uint64_t lastGeneration = 0;     ///< generation at the last pull or publish
    std::uint32_t epoch = 0;
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
