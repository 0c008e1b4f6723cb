// The link between real processes (linkpeer, in the test's object
// directory): the mutex against a holder that dies and against contending
// threads and processes, and the events. Every wait is bounded, and a lock
// another process could keep is taken on a detached thread: a deadlock fails
// the test instead of hanging it.

#include "linktestsupport.h"

#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/sharedregion.h"

#include <QtTest>

#include <future>
#include <memory>
#include <sched.h>
#include <thread>

using namespace linktest;

namespace {

constexpr int kStartMs = 10000;     // a peer reaches its first line
constexpr int kPromptMs = 5000;     // something that should happen at once
constexpr int kHammerMs = 120000;   // 20,000 contended rounds: a minute when the cores are busy
constexpr int kRounds = 10000;      // the peer's share, and the two threads' together
constexpr int kBlockedMs = 200;     // how long "does not get the mutex" is watched

struct Peer : PeerProcess {
    Peer(const ObjectDir& dir, const QStringList& arguments) : PeerProcess(QStringLiteral(KESTRIX_LINKPEER), dir, arguments) {}
};

// Runs work on a detached thread that owns what it touches: a hang leaves only it behind.
std::future<void> runDetached(std::function<void()> work)
{
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> result = finished->get_future();
    std::thread([finished, work = std::move(work)] {
        work();
        finished->set_value();
    }).detach();
    return result;
}

bool readyWithin(const std::future<void>& future, int timeoutMs)
{
    return future.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

} // namespace

class TestCrossProcess : public QObject {
    Q_OBJECT

private slots:
    void aPollWaitsForAHolderAndGoesOnWhenItIsKilled()
    {
        ObjectDir dir;
        ServiceFiles files(dir);
        files.createAll();
        files.parameters.writeTable<ParameterValue>(
            1, 1, {parameter(1, kParameterRequestedActive, 0), parameter(1, kParameterActualActive, 0), parameter(1, kParameterHeartbeat, 7)});
        auto callback = std::make_shared<RecordingCallback>();
        auto client = std::make_shared<Client>();
        client->setObjectDirectory(dir.path());
        QCOMPARE(client->vlcommRegister(callback.get()), 0);

        Peer holder(dir, {QStringLiteral("hold-mutex")});
        QVERIFY(holder.waitForLine(QStringLiteral("held"), kStartMs));
        auto polled = std::make_shared<std::int32_t>(-2);
        std::future<void> polling = runDetached([client, callback, polled] { *polled = client->poll(); });
        QVERIFY2(!readyWithin(polling, kBlockedMs), "the poll did not wait for the mutex another process held");
        // The kernel drops a killed holder's lock: the poll goes on.
        QVERIFY(holder.kill());
        QVERIFY2(readyWithin(polling, kPromptMs), "the poll stayed blocked after the holder was killed");
        QCOMPARE(*polled, 0);
        QVERIFY(callback->events.contains(QStringLiteral("active 0 0 1")));
    }

    void threadsAndAPeerLoseNoUpdate()
    {
        ObjectDir dir;
        Peer peer(dir, {QStringLiteral("hammer"), QString::number(kRounds)});
        QVERIFY(peer.waitForLine(QStringLiteral("ready"), kStartMs));
        std::string why;
        auto counter = std::make_shared<platform::SharedRegion>(platform::SharedRegion::open(dir.pathOf("hammer-counter"), why));

        // Two threads with a handle each (they meet in the process's shared state) against the peer.
        const std::string mutexPath = dir.pathOf(kLinkMutexName);
        std::promise<void> gate;
        const std::shared_future<void> start = gate.get_future().share();
        std::vector<std::future<void>> threads;
        for (int t = 0; t < 2; ++t) {
            threads.push_back(runDetached([mutexPath, counter, start] {
                start.wait();
                std::string error;
                auto mutex = platform::NamedMutex::openOrCreate(mutexPath, error);
                volatile auto* slot = reinterpret_cast<std::uint64_t*>(counter->base() + 16);
                for (int i = 0; i < kRounds / 2; ++i) {
                    platform::NamedMutexLocker lock(mutex);
                    const std::uint64_t value = *slot;
                    sched_yield();   // a mutex that does not exclude the others now loses updates for sure
                    *slot = value + 1;
                }
            }));
        }
        gate.set_value();
        QVERIFY(peer.writeLine("go"));
        for (auto& thread : threads)
            QVERIFY2(readyWithin(thread, kHammerMs), "a thread of the test is stuck on the mutex");
        QVERIFY(peer.waitForLine(QStringLiteral("done"), kHammerMs) && peer.finishes(kPromptMs) && peer.endedCleanly());
        std::uint64_t total = 0;
        RegionFile(dir, "hammer-counter").readBytes(16, &total, sizeof total);
        QCOMPARE(total, std::uint64_t(2 * kRounds));
    }

    void eventSetsWakeAWaitingProcessOnce()
    {
        ObjectDir dir;
        std::string why;
        // Held open throughout: an event lives while a process has it open.
        platform::NamedEvent event = platform::NamedEvent::openOrCreate(dir.pathOf(kClientEventName), why);
        QVERIFY2(event.isValid(), why.c_str());
        // Four sets from two processes before the wait wake it once.
        for (const char* count : {"3", "1"})
            QVERIFY(Peer(dir, {QStringLiteral("set-event"), QLatin1String(count)}).waitForLine(QStringLiteral("set"), kStartMs));
        QCOMPARE(event.wait(kPromptMs), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(event.wait(kBlockedMs), platform::NamedEvent::WaitResult::TimedOut);

        // A process already waiting (far longer than the test waits) is woken by another's set.
        Peer waiter(dir, {QStringLiteral("wait-event"), QStringLiteral("60000"), QString::number(kBlockedMs)});
        QVERIFY(waiter.waitForLine(QStringLiteral("waiting"), kStartMs));
        QVERIFY2(!waiter.finishes(kBlockedMs), "the wait ended without a set");
        QVERIFY(event.set());
        QVERIFY(waiter.finishes(kPromptMs) && waiter.endedCleanly());
        QCOMPARE(waiter.lines(), (QStringList{"waiting", "signalled", "timeout"}));
    }
};

QTEST_GUILESS_MAIN(TestCrossProcess)
#include "tst_crossprocess.moc"
