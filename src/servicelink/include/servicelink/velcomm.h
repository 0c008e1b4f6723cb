#pragma once

/// @file
/// @brief The link: the four regions, their mirrors, and the requests.

#include "servicelink/callback.h"
#include "servicelink/records.h"

#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/tick.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace servicelink {

namespace detail {
struct Tables;
struct LinkSide;
}

/// @brief The link proper. Not used directly: Client is the program's end,
/// ServiceLink the service's.
///
/// All operations of one link must come from one thread. Every operation
/// returns 0 on success and -1 on failure; nothing throws.
class VelComm {
public:
    VelComm(const VelComm&) = delete;
    VelComm& operator=(const VelComm&) = delete;

    /// @brief Opens the mutex, the events and the four regions.
    /// @param callback receives every change report; not owned.
    /// @param serviceEvent when given, receives the service event's handle.
    /// @return 0 when all four regions are mapped, else -1.
    std::int32_t vlcommRegister(Callback* callback, platform::NamedEvent** serviceEvent = nullptr);

    /// @brief Closes every object; the mirrors are kept. Always 0.
    virtual std::int32_t vlcommUnregister();

    /// @brief One supervision and synchronisation step.
    virtual std::int32_t poll() = 0;

    /// @brief Brings the mirrors up to date and reports every change.
    /// @return -1 when not connected; 1 when parameter 0 or 1 changed; else 0.
    std::int32_t pull();

    /// @brief Writes every table changed locally back and sets the notify event.
    /// @return -1 when not connected or a commit failed; else 0.
    std::int32_t publish();

    /// @brief pull, then publish, under the mutex. -1 if either failed, else
    /// pull's result.
    std::int32_t synchronise();

    // --- Requests ---

    std::int32_t controlCenterGetParameter(std::uint32_t id, std::uint32_t& value) const;
    std::int32_t controlCenterSetParameter(std::uint32_t id, std::uint32_t value);
    std::int32_t getApplication(std::uint32_t id, AppInfo& info) const;
    std::int32_t controlCenterModifyApplication(const AppInfo& info);
    std::int32_t getSite(std::uint32_t id, SiteInfo& info) const;
    std::int32_t controlCenterModifySite(const SiteInfo& info);
    std::int32_t getString(std::uint32_t id, std::u16string& text) const;
    /// @brief A text longer than 260 units is cut to 260 (and logged).
    std::int32_t setString(std::uint32_t id, const std::u16string& text);
    std::int32_t addApplication(const AppInfo& info);
    std::int32_t addSite(const SiteInfo& info);
    /// @brief Appends the mirror's application ids, ascending. Always 0.
    std::int32_t listApplicationIds(std::vector<std::uint32_t>& ids) const;
    std::int32_t listSiteIds(std::vector<std::uint32_t>& ids) const;
    /// @brief A writing request that removes: under the mutex, pull, erase the
    /// entry and publish the table without it (publish's result). When no
    /// entry has the id, only synchronise()'s result.
    std::int32_t removeApplication(std::uint32_t id);
    std::int32_t removeSite(std::uint32_t id);

    // --- State ---

    bool isConnected() const noexcept { return m_connected; }

    // --- Platform settings (not part of the protocol) ---

    /// @brief Where the named objects live; empty (the default) means
    /// platform::objectDirectory() at each registration.
    void setObjectDirectory(const std::string& directory) { m_objectDirectory = directory; }

    /// @brief Replaces the millisecond tick (tests step and wrap it).
    void setTickSource(platform::TickSource source, void* context) noexcept;

protected:
    /// @param serviceSide whether a take-over keeps this side's speeds (a
    /// service) or its priority and pin (the program).
    explicit VelComm(bool serviceSide);
    ~VelComm();

    /// @brief The callback of the last successful registration, or null.
    Callback* callback() const noexcept { return m_callback; }
    platform::NamedMutex& linkMutex() noexcept { return m_linkMutex; }
    std::uint32_t currentTick() const noexcept { return m_tick(m_tickContext); }

    /// @brief Values of parameters 0 and 1 from the mirror; false if either is absent.
    bool activeStateValues(std::uint32_t& requested, std::uint32_t& actual) const;

    // For the service's end: where and with which mode it creates the
    // objects, its tables for batch writes, the event the client sets.
    std::string objectDirectory() const;
    void setCreationMode(mode_t mode) noexcept { m_creationMode = mode; }
    detail::Tables& tables() noexcept { return *m_tables; }
    platform::NamedEvent& clientEventHandle() noexcept { return m_clientEvent; }

private:
    /// @brief Called at the end of every successful registration.
    virtual void registered() noexcept {}

    void releaseRegions() noexcept;
    /// @brief This link as the table engine sees it.
    detail::LinkSide side() noexcept;
    void logRegistrationProblem(const std::string& line);

    // The four regions and their mirrors (the table engine, linktables.h).
    std::unique_ptr<detail::Tables> m_tables;

    Callback* m_callback = nullptr;
    bool m_connected = false;
    const bool m_serviceSide;

    platform::NamedMutex m_linkMutex;
    platform::NamedEvent m_serviceEvent;
    platform::NamedEvent m_clientEvent;
    platform::NamedEvent* m_notify = nullptr;   ///< the event publish sets

    mode_t m_creationMode = 0;   ///< mode of the objects this side creates; 0: the default 0600
    std::string m_objectDirectory;
    platform::TickSource m_tick = platform::monotonicTick;
    void* m_tickContext = nullptr;
    std::string m_lastRegistrationProblem;
};

/// @brief The program's end of the link: supervises the service's heartbeat.
class Client final : public VelComm {
public:
    Client();
    ~Client();

    /// @brief pull, report parameter 0/1 changes and heartbeat loss or return
    /// through Callback::onActiveStateChanged.
    std::int32_t poll() override;

    /// @brief Whether the service's heartbeat is alive, as last reported.
    bool isAlive() const noexcept { return m_alive; }

private:
    void registered() noexcept override;

    // Heartbeat supervision.
    bool m_alive = false;
    std::uint32_t m_lastHeartbeatTick = 0;
    std::uint32_t m_pollsSinceChange = 0;
    std::uint32_t m_lastHeartbeat = 0;
};

/// @brief The service's end of the link: a bare VelComm (service side), plus
/// what only a service does: create the objects and start new epochs.
class ServiceLink final : public VelComm {
public:
    ServiceLink();
    ~ServiceLink();

    /// @brief Creates (or reuses) the four regions, the mutex and both events
    /// in the object directory, with @p permissions.
    /// @return 0, or -1 with the reason logged.
    std::int32_t createObjects(mode_t permissions = platform::kDefaultObjectMode);

    /// @brief Rebuilds every table from nothing: under the mutex, each region
    /// gets a new epoch (the old one + 1, never 0), count 0 and generation + 1.
    /// Call after registering and before publishing the new content.
    std::int32_t beginNewEpoch();

    /// @brief The service's step: a pull. -1 when not connected.
    std::int32_t poll() override;

    // --- Batch writes: pull, change many entries, publish once. ---

    /// @brief Makes the application table hold exactly @p apps. Entries whose
    /// content changes get a greater sequence; entries not in @p apps are
    /// removed. The priority and pin of an application already in the table
    /// stay as the table holds them: after an application first appears they
    /// are the user's. @return publish's result, -1 when not connected.
    std::int32_t publishApplications(const std::vector<AppInfo>& apps);

    /// @brief The same for sites.
    std::int32_t publishSites(const std::vector<SiteInfo>& sites);

    /// @brief Sets several parameters in one publish; only values that change
    /// (or are new) get a greater sequence.
    std::int32_t setParameters(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values);

    /// @brief Sets several strings in one publish (each cut to 260 units);
    /// only texts that change get a greater sequence.
    std::int32_t setStrings(const std::vector<std::pair<std::uint32_t, std::u16string>>& texts);

    /// @brief Takes a parameter or a string out of its table (a writing
    /// request: pull, erase, publish); only synchronises when it is not there.
    std::int32_t removeParameter(std::uint32_t id);
    std::int32_t removeString(std::uint32_t id);

    /// @brief The event the client sets after each table it publishes.
    platform::NamedEvent& clientEvent() noexcept { return clientEventHandle(); }
};

} // namespace servicelink
