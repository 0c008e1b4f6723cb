#pragma once

// The traffic service: the service's end of the link, the adapter, the
// backend (demo traffic, or the machine's applications measured and shaped
// in the kernel) and the update offer, driven by one loop that sleeps on the
// client event.

#include "adapter.h"
#include "backend.h"
#include "options.h"
#include "traffic.h"

#include "servicelink/protocol.h"
#include "servicelink/velcomm.h"

#include "platform/filelock.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace demo {

class Service : private servicelink::Callback {
public:
    using Clock = std::chrono::steady_clock;
    using Output = std::function<void(const std::string& line)>;

    Service(const Options& options, Output output);
    ~Service();

    // Takes the instance lock, creates and registers the objects, starts a
    // new epoch and publishes the first tables. False (with a message on the
    // output) when it cannot serve.
    bool start();

    // Serves until @p stop becomes true.
    void run(const std::atomic<bool>& stop);

    // One round of the loop: waits up to @p maxWaitMs for the client, takes
    // over its writes and does whatever is due. Public for the loop's tests.
    void step(int maxWaitMs);

    std::string objectDirectory() const { return m_directory; }

private:
    // Callback: the client's writes, taken over.
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onAppChanged(std::uint32_t id, const servicelink::AppInfo& info) override;
    std::int32_t onSiteChanged(std::uint32_t id, const servicelink::SiteInfo& info) override;
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override;
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override;

    void takeOverParameter(std::uint32_t id, std::uint32_t value);
    void applyPolicy();
    void refreshAdapter();
    void publishAdapter();
    void publishTraffic();
    void advanceUpdate(Clock::time_point now);
    void say(const std::string& line);

    Options m_options;
    Output m_output;
    std::string m_directory;
    platform::FileLock m_instanceLock;
    servicelink::ServiceLink m_link;
    std::unique_ptr<Backend> m_backend;
    Adapter m_adapter;
    std::string m_iconDirectory;
    std::string m_interface;   // the shaped interface of the linux backend

    Clock::time_point m_started;
    Clock::time_point m_nextHeartbeat;
    Clock::time_point m_nextTick;
    Clock::time_point m_nextAdapterCheck;
    std::uint32_t m_heartbeat = 0;

    bool m_active = true;
    std::uint32_t m_downLimit = 0;
    std::uint32_t m_upLimit = 0;
    bool m_pendingActiveAnswer = false;

    // The update offer.
    std::uint32_t m_updateState = servicelink::kUpdateNoNewVersion;
    bool m_offered = false;
    Clock::time_point m_downloadStarted;
    bool m_downloading = false;
    bool m_commandPublished = false;
    Clock::time_point m_commandPublishedAt;
    std::uint32_t m_downloadTotal = 48 * 1024;   // KiB
};

// Removes the objects (and the instance lock file) from the object
// directory; refuses while a service runs there. Returns the exit code.
int cleanupObjects(const std::string& directory, const Service::Output& output);

// The installer the offered update "downloads": a harmless script that only
// notes that it ran. Returns the command line, or an empty string.
std::string writeInstaller(const std::string& cacheDirectory);

} // namespace demo
