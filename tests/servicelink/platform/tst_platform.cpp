// The platform layer under the link: where objects live, which files a peer
// accepts, regions that grow and never shrink, the flock mutex with its
// shared in-process state, FIFO events, and the SIGBUS guard.

#include "linktestsupport.h"

#include "platform/faultguard.h"
#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/namedobject.h"
#include "platform/sharedregion.h"
#include "platform/tick.h"

#include <QtTest>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace linktest;
using namespace std::chrono_literals;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// Restores an environment variable at the end of a test.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : m_name(name)
    {
        const char* value = std::getenv(name);
        m_had = value != nullptr;
        if (m_had)
            m_value = value;
    }
    ~EnvGuard()
    {
        if (m_had)
            ::setenv(m_name, m_value.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had = false;
    std::string m_value;
};

bool externallyLocked(const std::string& path)
{
    // A second open file description stands for another process.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!locked)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return locked;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    // --- object directory ---

    void objectDirectoryComesFromTheEnvironment()
    {
        EnvGuard guard("KESTRIX_IPC_DIR");
        ::setenv("KESTRIX_IPC_DIR", "/tmp/kestrix-elsewhere", 1);
        QCOMPARE(platform::objectDirectory(), std::string("/tmp/kestrix-elsewhere"));
        ::setenv("KESTRIX_IPC_DIR", "", 1);
        QCOMPARE(platform::objectDirectory(), std::string("/dev/shm"));
        ::unsetenv("KESTRIX_IPC_DIR");
        QCOMPARE(platform::objectDirectory(), std::string("/dev/shm"));
    }

    void objectNamesAreFileNamesVerbatim()
    {
        QCOMPARE(platform::objectPath("/d", servicelink::kAppRegionName),
                 std::string("/d/Global\\MEM{EDDD0FE0-42EB-4050-A235-47EBDEEEE7C0}"));
        QCOMPARE(platform::objectPath("/d/", servicelink::kLinkMutexName),
                 std::string("/d/MUTEX{0EE62FA0-DF34-4523-B32E-94003BB1D8CD}"));
    }

    // --- regions ---

    void openingAnAbsentRegionFailsWithTheReason()
    {
        ObjectDir dir;
        std::string why;
        const auto region = platform::SharedRegion::open(dir.pathOf("absent"), why);
        QVERIFY(!region.isValid());
        QVERIFY2(why.find("No such file") != std::string::npos, why.c_str());
        // The client never creates a region.
        QCOMPARE(RegionFile(dir, "absent").size(), std::uint64_t(0));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.pathOf("absent"))));
    }

    void creatorGivesTheRegionAHeaderAndItsMode()
    {
        ObjectDir dir;
        std::string why;
        const mode_t oldMask = ::umask(077);
        auto region = platform::SharedRegion::create(dir.pathOf("r"), 0640, why);
        ::umask(oldMask);
        QVERIFY2(region.isValid(), why.c_str());
        QCOMPARE(region.knownSize(), std::uint64_t(16));
        QCOMPARE(modeOf(dir.pathOf("r")), mode_t(0640));   // exactly, whatever the umask
    }

    void regionShorterThanAHeaderIsRefused()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        file.truncate(15);
        std::string why;
        QVERIFY(!platform::SharedRegion::open(file.path(), why).isValid());
        QVERIFY2(why.find("shorter than a region header") != std::string::npos, why.c_str());
    }

    void commitGrowsAndNeverShrinks()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        QVERIFY2(region.isValid(), why.c_str());

        QCOMPARE(region.commit(16 + 3 * 1600), 0);
        QCOMPARE(file.size(), std::uint64_t(16 + 3 * 1600));
        // The grown bytes are usable through the view and reach the file.
        const std::uint32_t marker = 0x5A5A1234u;
        QVERIFY(platform::guardedWrite(region.base() + 16 + 2 * 1600, &marker, sizeof marker));
        std::uint32_t back = 0;
        file.readBytes(16 + 2 * 1600, &back, sizeof back);
        QCOMPARE(back, marker);

        QCOMPARE(region.commit(100), 0);   // smaller: nothing to do
        QCOMPARE(file.size(), std::uint64_t(16 + 3 * 1600));
        QCOMPARE(region.commit(platform::kRegionViewLength + 1), ENOMEM);
    }

    void failedCommitLeavesTheFileAsItWasAndCanBeRetried()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        QVERIFY(region.isValid());
        {
            FileSizeLimit limit(4096);
            QCOMPARE(region.commit(1 << 20), EFBIG);
            QCOMPARE(file.size(), std::uint64_t(16));
            QCOMPARE(region.knownSize(), std::uint64_t(16));
        }
        QCOMPARE(region.commit(1 << 20), 0);
        QCOMPARE(file.size(), std::uint64_t(1 << 20));
    }

    // --- which files a peer accepts ---

    void symbolicLinksAreRefused()
    {
        ObjectDir dir;
        RegionFile target(dir, "target");
        target.create();
        QCOMPARE(::symlink(target.path().c_str(), dir.pathOf("link").c_str()), 0);
        QCOMPARE(::mkfifo(dir.pathOf("fifo").c_str(), 0600), 0);
        QCOMPARE(::symlink(dir.pathOf("fifo").c_str(), dir.pathOf("fifolink").c_str()), 0);

        std::string why;
        QVERIFY(!platform::SharedRegion::open(dir.pathOf("link"), why).isValid());
        QVERIFY2(why.find("symbolic link") != std::string::npos, why.c_str());
        why.clear();
        QVERIFY(!platform::NamedMutex::openOrCreate(dir.pathOf("link"), why).isValid());
        QVERIFY2(why.find("symbolic link") != std::string::npos, why.c_str());
        why.clear();
        QVERIFY(!platform::NamedEvent::openOrCreate(dir.pathOf("fifolink"), why).isValid());
        QVERIFY2(why.find("symbolic link") != std::string::npos, why.c_str());
        // The link's target was not touched.
        QCOMPARE(target.size(), std::uint64_t(16));
    }

    void objectsOfTheWrongTypeAreRefused()
    {
        ObjectDir dir;
        QCOMPARE(::mkfifo(dir.pathOf("fifo").c_str(), 0600), 0);
        RegionFile plain(dir, "plain");
        plain.create();

        std::string why;
        QVERIFY(!platform::SharedRegion::open(dir.pathOf("fifo"), why).isValid());
        QVERIFY2(why.find("not a regular file") != std::string::npos, why.c_str());
        QVERIFY(!platform::NamedMutex::openOrCreate(dir.pathOf("fifo"), why).isValid());
        QVERIFY(!platform::NamedEvent::openOrCreate(plain.path(), why).isValid());
        QVERIFY2(why.find("not a FIFO") != std::string::npos, why.c_str());
        QVERIFY(QDir().mkdir(QString::fromStdString(dir.pathOf("dir"))));
        QVERIFY(!platform::SharedRegion::open(dir.pathOf("dir"), why).isValid());
    }

    void objectsWritableByOthersAreRefused()
    {
        ObjectDir dir;
        RegionFile region(dir, "r");
        region.create(0602);
        QCOMPARE(::mkfifo(dir.pathOf("fifo").c_str(), 0600), 0);
        QCOMPARE(::chmod(dir.pathOf("fifo").c_str(), 0622), 0);

        std::string why;
        QVERIFY(!platform::SharedRegion::open(region.path(), why).isValid());
        QVERIFY2(why.find("writable by others") != std::string::npos, why.c_str());
        QVERIFY(!platform::NamedMutex::openOrCreate(region.path(), why).isValid());
        QVERIFY(!platform::NamedEvent::openOrCreate(dir.pathOf("fifo"), why).isValid());
        QVERIFY2(why.find("writable by others") != std::string::npos, why.c_str());

        // Group-writable is a service's deliberate choice and is accepted.
        QCOMPARE(::chmod(region.path().c_str(), 0660), 0);
        QVERIFY2(platform::SharedRegion::open(region.path(), why).isValid(), why.c_str());
    }

    void objectsOwnedByAnotherUserAreRefused()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to give a file to another user");
        ObjectDir dir;
        RegionFile region(dir, "r");
        region.create();
        QCOMPARE(::mkfifo(dir.pathOf("fifo").c_str(), 0600), 0);
        QCOMPARE(::chown(region.path().c_str(), 65534, 65534), 0);
        QCOMPARE(::chown(dir.pathOf("fifo").c_str(), 65534, 65534), 0);

        std::string why;
        QVERIFY(!platform::SharedRegion::open(region.path(), why).isValid());
        QVERIFY2(why.find("owned by uid 65534") != std::string::npos, why.c_str());
        QVERIFY(!platform::NamedMutex::openOrCreate(region.path(), why).isValid());
        QVERIFY(!platform::NamedEvent::openOrCreate(dir.pathOf("fifo"), why).isValid());
        QVERIFY2(why.find("owned by uid 65534") != std::string::npos, why.c_str());

        // Root's objects are trusted by every user.
        QCOMPARE(::chown(region.path().c_str(), 0, 0), 0);
        QVERIFY2(platform::SharedRegion::open(region.path(), why).isValid(), why.c_str());
    }

    // --- the link mutex ---

    void mutexIsRecursiveAndHoldsTheFileLockUntilTheLastRelease()
    {
        ObjectDir dir;
        std::string why;
        auto mutex = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        QVERIFY2(mutex.isValid(), why.c_str());
        QCOMPARE(modeOf(dir.pathOf("m")) & 0777, mode_t(0600));

        QVERIFY(!externallyLocked(dir.pathOf("m")));
        mutex.lock();
        mutex.lock();
        QCOMPARE(mutex.depthForCurrentThread(), 2);
        QVERIFY(externallyLocked(dir.pathOf("m")));
        mutex.unlock();
        QVERIFY(externallyLocked(dir.pathOf("m")));
        mutex.unlock();
        QCOMPARE(mutex.depthForCurrentThread(), 0);
        QVERIFY(!externallyLocked(dir.pathOf("m")));
    }

    void handlesOfOneMutexShareOneState()
    {
        ObjectDir dir;
        std::string why;
        auto first = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        auto second = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        QVERIFY(first.isValid() && second.isValid());

        first.lock();
        // Would deadlock if the second handle had its own flock.
        auto nested = std::async(std::launch::async, [] { return 0; });
        second.lock();
        QCOMPARE(first.depthForCurrentThread(), 2);
        second.unlock();
        QVERIFY(externallyLocked(dir.pathOf("m")));
        first.unlock();
        QVERIFY(!externallyLocked(dir.pathOf("m")));
        nested.get();
    }

    void otherThreadsWaitForTheOwner()
    {
        ObjectDir dir;
        std::string why;
        auto mutex = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        auto other = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        mutex.lock();
        std::promise<void> acquired;
        std::thread waiter([&] {
            other.lock();
            acquired.set_value();
            other.unlock();
        });
        auto done = acquired.get_future();
        QCOMPARE(done.wait_for(200ms), std::future_status::timeout);
        mutex.unlock();
        const bool finished = done.wait_for(5s) == std::future_status::ready;
        waiter.join();
        QVERIFY(finished);
    }

    void unlockByANonOwnerDoesNothing()
    {
        ObjectDir dir;
        std::string why;
        auto mutex = platform::NamedMutex::openOrCreate(dir.pathOf("m"), why);
        mutex.lock();
        std::thread([&] { mutex.unlock(); }).join();
        QVERIFY(externallyLocked(dir.pathOf("m")));
        QCOMPARE(mutex.depthForCurrentThread(), 1);
        mutex.unlock();
        QVERIFY(!externallyLocked(dir.pathOf("m")));
    }

    // --- events ---

    void eventsAreAutoResetAndCollapseSets()
    {
        ObjectDir dir;
        std::string why;
        auto event = platform::NamedEvent::openOrCreate(dir.pathOf("e"), why);
        QVERIFY2(event.isValid(), why.c_str());
        auto sameEvent = platform::NamedEvent::openOrCreate(dir.pathOf("e"), why);
        QVERIFY(sameEvent.isValid());

        QCOMPARE(event.wait(0), platform::NamedEvent::WaitResult::TimedOut);
        QVERIFY(sameEvent.set());
        QVERIFY(sameEvent.set());
        QVERIFY(sameEvent.set());
        QCOMPARE(event.wait(1000), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(event.wait(20), platform::NamedEvent::WaitResult::TimedOut);
    }

    void aFullPipeCountsAsSet()
    {
        ObjectDir dir;
        std::string why;
        auto event = platform::NamedEvent::openOrCreate(dir.pathOf("e"), why);
        for (int i = 0; i < 70000; ++i)   // more than a pipe buffer holds
            QVERIFY(event.set());
        QCOMPARE(event.wait(1000), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(event.wait(0), platform::NamedEvent::WaitResult::TimedOut);
    }

    void waitWakesWhenAnotherThreadSets()
    {
        ObjectDir dir;
        std::string why;
        auto waiting = platform::NamedEvent::openOrCreate(dir.pathOf("e"), why);
        auto setter = platform::NamedEvent::openOrCreate(dir.pathOf("e"), why);
        std::thread later([&] {
            std::this_thread::sleep_for(50ms);
            setter.set();
        });
        const auto result = waiting.wait(5000);
        later.join();
        QCOMPARE(result, platform::NamedEvent::WaitResult::Signalled);
    }

    // --- the SIGBUS guard ---

    void guardedAccessPastTheFileEndFailsInsteadOfCrashing()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        QVERIFY(region.isValid());
        QCOMPARE(region.commit(3 * 4096), 0);
        std::uint64_t value = 42;
        QVERIFY(platform::guardedWrite(region.base() + 2 * 4096, &value, sizeof value));

        file.truncate(16);   // the peer shrinks the file under us
        QVERIFY(!platform::guardedRead(&value, region.base() + 2 * 4096, sizeof value));
        QVERIFY(!platform::guardedWrite(region.base() + 2 * 4096, &value, sizeof value));
        // Bytes inside the first page are still there, and the guard recovers.
        RegionHeader header{};
        QVERIFY(platform::guardedRead(&header, region.base(), sizeof header));
        QVERIFY(!platform::guardedRead(&value, region.base() + 5 * 4096, sizeof value));
    }

    void aFaultOutsideTheGuardStillEndsTheProcess()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        QVERIFY(region.isValid());
        // Install the guard's handler, then fault outside it in a child.
        std::uint64_t value = 0;
        QVERIFY(!platform::guardedRead(&value, region.base() + 8192, sizeof value));
        const pid_t child = ::fork();
        if (child == 0) {
            // Whatever handler comes after ours (the test framework's, the
            // sanitizer's) reports the crash: keep that out of this log.
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            volatile const std::uint8_t* beyond = region.base() + 8192;
            const std::uint8_t byte = *beyond;
            ::_exit(byte == 0 ? 0 : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        // Killed by SIGBUS, or (under AddressSanitizer) reported and exited.
        const bool survived = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        QVERIFY2(!survived, "an unguarded SIGBUS must not be swallowed");
    }

    void guardWorksOnEveryThread()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        auto faulted = std::async(std::launch::async, [&] {
            std::uint64_t value = 0;
            return platform::guardedRead(&value, region.base() + 4096, sizeof value);
        });
        QCOMPARE(faulted.get(), false);
    }

    void tickIsMonotonicMilliseconds()
    {
        const std::uint32_t first = platform::monotonicTick();
        std::this_thread::sleep_for(30ms);
        const std::uint32_t elapsed = platform::monotonicTick() - first;
        QVERIFY2(elapsed >= 29 && elapsed < 5000, QByteArray::number(elapsed));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
