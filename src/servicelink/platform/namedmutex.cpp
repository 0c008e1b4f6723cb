#include "platform/namedmutex.h"

#include "platform/filedescriptor.h"
#include "platform/log.h"
#include "platform/posixcall.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace platform {
namespace detail {

struct MutexState {
    FileDescriptor fd;
    std::string path;
    std::recursive_timed_mutex threads;
    int depth = 0;   // guarded by `threads`
    std::atomic<std::thread::id> owner{};
};

} // namespace detail

namespace {

using FileKey = std::pair<dev_t, ino_t>;

// Every open mutex file of this process, by file identity, so that all
// handles of one file share one state.
struct Registry {
    std::mutex lock;
    std::map<FileKey, std::weak_ptr<detail::MutexState>> states;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

NamedMutex::NamedMutex() noexcept = default;
NamedMutex::~NamedMutex() = default;
NamedMutex::NamedMutex(NamedMutex&&) noexcept = default;
NamedMutex& NamedMutex::operator=(NamedMutex&&) noexcept = default;

NamedMutex NamedMutex::openOrCreate(const std::string& path, std::string& why, mode_t permissions,
                                    bool enforceMode)
{
    FileDescriptor fd = openObjectFile(path, OpenMode::OpenOrCreate, permissions, why, enforceMode);
    if (!fd.isValid())
        return NamedMutex();
    struct stat info {};
    const auto status = posixCall([&] { return ::fstat(fd.get(), &info); });
    if (!status.ok()) {
        why = describeFailure("fstat", path, status.error);
        return NamedMutex();
    }

    Registry& shared = registry();
    std::lock_guard<std::mutex> guard(shared.lock);
    for (auto it = shared.states.begin(); it != shared.states.end();) {
        if (it->second.expired())
            it = shared.states.erase(it);
        else
            ++it;
    }
    NamedMutex mutex;
    const FileKey key{info.st_dev, info.st_ino};
    auto found = shared.states.find(key);
    if (found != shared.states.end()) {
        // Another handle of this process has the file open already: share its
        // state; the new descriptor closes here.
        mutex.m_state = found->second.lock();
        return mutex;
    }
    auto state = std::make_shared<detail::MutexState>();
    state->fd = std::move(fd);
    state->path = path;
    shared.states.emplace(key, state);
    mutex.m_state = std::move(state);
    return mutex;
}

void NamedMutex::lock() noexcept
{
    tryLockFor(-1);
}

bool NamedMutex::tryLockFor(int timeoutMs) noexcept
{
    if (!m_state)
        return true;   // nothing to wait for, as lock() on an invalid handle
    detail::MutexState& state = *m_state;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (timeoutMs < 0)
        state.threads.lock();
    else if (!state.threads.try_lock_until(deadline))
        return false;
    if (state.depth == 0) {
        // Between processes flock has no time-out: a bounded wait asks again
        // every millisecond until the deadline.
        for (;;) {
            const int operation = timeoutMs < 0 ? LOCK_EX : LOCK_EX | LOCK_NB;
            const auto locked = posixCall([&] { return ::flock(state.fd.get(), operation); });
            if (locked.ok())
                break;
            if (locked.error != EWOULDBLOCK) {
                // Like a wait whose result nobody examines: the caller goes on.
                logLine(describeFailure("flock", state.path, locked.error));
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                state.threads.unlock();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    ++state.depth;
    return true;
}

void NamedMutex::unlock() noexcept
{
    if (!m_state)
        return;
    detail::MutexState& state = *m_state;
    if (state.depth <= 0 || state.owner.load(std::memory_order_relaxed) != std::this_thread::get_id())
        return;   // not held by this thread: nothing to release
    if (--state.depth == 0) {
        state.owner.store(std::thread::id(), std::memory_order_relaxed);
        posixCall([&] { return ::flock(state.fd.get(), LOCK_UN); });
    }
    state.threads.unlock();
}

int NamedMutex::depthForCurrentThread() const noexcept
{
    if (!m_state)
        return 0;
    if (m_state->owner.load(std::memory_order_relaxed) != std::this_thread::get_id())
        return 0;
    return m_state->depth;
}

void NamedMutex::close() noexcept
{
    m_state.reset();
}

} // namespace platform
