// The link between real processes: the link mutex against other processes
// (and against a holder that dies), the named events, and a Client against a
// small service running in a process of its own. The other processes are
// linkpeer (tests/servicelink/linkpeer.cpp), started in the test's private
// object directory.
//
// Nothing here may hang the run: every wait on a peer is bounded, and every
// acquisition of a mutex that another process could keep forever runs on a
// thread of its own under a watchdog, so a deadlock fails the test.

#include "linktestsupport.h"

#include "platform/faultguard.h"
#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/namedobject.h"
#include "platform/sharedregion.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <sched.h>
#include <thread>

#ifndef KESTRIX_LINKPEER
#error "KESTRIX_LINKPEER must name the linkpeer executable"
#endif

using namespace servicelink;
using namespace linktest;

namespace {

// Bounds of the waits. Generous: they only decide when a wait that should
// end is declared stuck, and the machines running this are shared.
constexpr int kStartMs = 10000;     // a peer reaches its first line
constexpr int kPromptMs = 5000;     // something that should happen at once
constexpr int kHammerMs = 40000;    // 100,000 contended lock rounds (about a second)
constexpr int kBlockedMs = 200;     // how long "does not get the mutex" is watched

constexpr std::uint64_t kCounterOffset = 16;   // where linkpeer's hammer counts

// One linkpeer process in the test's object directory.
class Peer : public PeerProcess {
public:
    Peer(const ObjectDir& dir, const QStringList& arguments)
        : PeerProcess(QStringLiteral(KESTRIX_LINKPEER), dir, arguments)
    {
    }

    // Writes the start line a waiting hammer reads.
    bool go() { return writeLine("go"); }
};

// Runs work on a detached thread of its own. If it hangs (a deadlock), the
// thread is left behind and the caller's bounded wait on the future fails the
// test instead of hanging it; work must therefore own (by value or by
// shared_ptr) everything it touches.
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

bool finishesWithin(int timeoutMs, std::function<void()> work)
{
    return runDetached(std::move(work)).wait_for(std::chrono::milliseconds(timeoutMs))
           == std::future_status::ready;
}

// Takes the link mutex through a handle of its own on a detached thread and
// holds it until release(). Never acquiring it leaves only that thread stuck.
class LockAttempt {
public:
    explicit LockAttempt(const std::string& mutexPath)
    {
        std::string why;
        platform::NamedMutex mutex = platform::NamedMutex::openOrCreate(mutexPath, why);
        m_opened = mutex.isValid();
        if (!m_opened) {
            qWarning("link mutex: %s", why.c_str());
            return;
        }
        auto acquired = std::make_shared<std::promise<void>>();
        auto released = std::make_shared<std::promise<void>>();
        m_acquired = acquired->get_future();
        m_released = released->get_future();
        std::future<void> release = m_release.get_future();
        std::thread([mutex = std::move(mutex), acquired, released,
                     release = std::move(release)]() mutable {
            mutex.lock();
            acquired->set_value();
            release.wait();
            mutex.unlock();
            released->set_value();
        }).detach();
    }

    ~LockAttempt() { release(); }

    LockAttempt(const LockAttempt&) = delete;
    LockAttempt& operator=(const LockAttempt&) = delete;

    bool acquiredWithin(int timeoutMs)
    {
        return m_opened
               && m_acquired.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
    }

    // Lets the mutex go (once acquired); true when that happened within timeoutMs.
    bool release(int timeoutMs = 0)
    {
        if (!m_opened)
            return false;
        if (!m_releaseSent) {
            m_releaseSent = true;
            m_release.set_value();
        }
        return m_released.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
    }

private:
    bool m_opened = false;
    bool m_releaseSent = false;
    std::promise<void> m_release;
    std::future<void> m_acquired;
    std::future<void> m_released;
};

std::uint64_t readCounter(const ObjectDir& dir, const char* name)
{
    std::uint64_t value = 0;
    RegionFile(dir, name).readBytes(kCounterOffset, &value, sizeof value);
    return value;
}

QString idsText(const VelComm& link)
{
    std::vector<std::uint32_t> ids;
    link.listApplicationIds(ids);
    QStringList parts;
    for (const std::uint32_t id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(' '));
}

int indexOfPrefix(const QStringList& lines, const QString& prefix)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(prefix))
            return i;
    }
    return -1;
}

// The heartbeat values reported through the callback, in order.
QList<std::uint32_t> heartbeats(const QStringList& events)
{
    QList<std::uint32_t> beats;
    const QString prefix = QStringLiteral("paramChanged 2 ");
    for (const QString& event : events) {
        if (event.startsWith(prefix))
            beats << event.mid(prefix.size()).toUInt();
    }
    return beats;
}

// What the service said about an application write it took over:
// "took app ID priority P down D up U".
struct TookOver {
    std::uint32_t id = 0;
    std::uint32_t priority = 0;
    std::uint32_t down = 0;
    std::uint32_t up = 0;
};

bool parseTookOver(const QString& line, TookOver& took)
{
    const QStringList words = line.split(QLatin1Char(' '));
    if (words.size() != 9 || words[0] != QLatin1String("took") || words[1] != QLatin1String("app")
        || words[3] != QLatin1String("priority") || words[5] != QLatin1String("down")
        || words[7] != QLatin1String("up"))
        return false;
    took.id = words[2].toUInt();
    took.priority = words[4].toUInt();
    took.down = words[6].toUInt();
    took.up = words[8].toUInt();
    return true;
}

// The service peer's speeds for application id lie in these ranges.
bool isServiceDownload(std::uint32_t id, std::uint32_t speed)
{
    return speed >= id * 1000 && speed < id * 1000 + 1000;
}

bool isServiceUpload(std::uint32_t id, std::uint32_t speed)
{
    return speed >= id * 100 && speed < id * 100 + 100;
}

QStringList serviceArguments(int apps, int firstApp)
{
    return {QStringLiteral("service"), QStringLiteral("--apps"), QString::number(apps),
            QStringLiteral("--first-app"), QString::number(firstApp)};
}

} // namespace

class TestCrossProcess : public QObject {
    Q_OBJECT

private slots:
    // --- The link mutex between processes ---

    void mutexOfAPeerKilledWhileHoldingItIsFree()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        ServiceFiles files(dir);
        files.createAll();
        files.parameters.writeTable<ParameterValue>(
            1, 1, {parameter(1, kParameterRequestedActive, 0), parameter(1, kParameterActualActive, 0),
                   parameter(1, kParameterHeartbeat, 7)});

        // Registered before the peer takes the mutex (registration takes it too).
        auto callback = std::make_shared<RecordingCallback>();
        auto client = std::make_shared<Client>();
        client->setObjectDirectory(dir.path());
        QCOMPARE(client->vlcommRegister(callback.get()), 0);

        Peer holder(dir, {QStringLiteral("hold-mutex")});
        QVERIFY(holder.waitForLine(QStringLiteral("held"), kStartMs));

        // A poll waits for the mutex...
        auto polled = std::make_shared<std::int32_t>(-2);
        std::future<void> polling =
            runDetached([client, callback, polled] { *polled = client->poll(); });
        QVERIFY2(polling.wait_for(std::chrono::milliseconds(kBlockedMs)) == std::future_status::timeout,
                 "Client::poll did not wait for the mutex another process held");

        // ...and goes on once the holder is killed: the kernel drops its lock.
        QVERIFY(holder.kill());
        QVERIFY2(polling.wait_for(std::chrono::milliseconds(kPromptMs)) == std::future_status::ready,
                 "Client::poll stayed blocked after the mutex holder was killed");
        QCOMPARE(*polled, 0);
        QVERIFY(callback->events.contains(QStringLiteral("paramAdd 2 7")));
        QVERIFY(callback->events.contains(QStringLiteral("active 0 0 1")));

        // This process's own lock is free at once too, and the client works on.
        LockAttempt attempt(dir.pathOf(kLinkMutexName));
        QVERIFY2(attempt.acquiredWithin(kPromptMs), "the mutex of a killed holder stayed locked");
        QVERIFY(attempt.release(kPromptMs));
        QVERIFY2(finishesWithin(kPromptMs, [client, polled] { *polled = client->poll(); }),
                 "Client::poll blocked after the lock was released");
        QCOMPARE(*polled, 0);
    }

    void mutexHeldByAPeerBlocksTheTestUntilThePeerEnds()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        Peer holder(dir, {QStringLiteral("hold-mutex")});
        QVERIFY(holder.waitForLine(QStringLiteral("held"), kStartMs));

        LockAttempt attempt(dir.pathOf(kLinkMutexName));
        QVERIFY2(!attempt.acquiredWithin(kBlockedMs), "got the mutex while another process held it");
        QVERIFY(holder.isRunning());

        QVERIFY(holder.terminate());
        QVERIFY2(attempt.acquiredWithin(kPromptMs), "the mutex stayed locked after its holder ended");
        QVERIFY(attempt.release(kPromptMs));
    }

    void mutexHeldByTheTestBlocksAPeer()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        std::string why;
        platform::NamedMutex mutex =
            platform::NamedMutex::openOrCreate(dir.pathOf(kLinkMutexName), why);
        QVERIFY2(mutex.isValid(), why.c_str());

        mutex.lock();
        Peer holder(dir, {QStringLiteral("hold-mutex")});
        const bool heldMeanwhile = holder.waitForLine(QStringLiteral("held"), kBlockedMs);
        const bool runningMeanwhile = holder.isRunning();
        mutex.unlock();
        QVERIFY2(!heldMeanwhile, "the peer got the mutex while the test held it");
        QVERIFY2(runningMeanwhile, "the peer ended instead of waiting for the mutex");

        QVERIFY2(holder.waitForLine(QStringLiteral("held"), kPromptMs),
                 "the peer did not get the mutex after the test released it");
        // Now the peer holds it: this process must not get it.
        LockAttempt attempt(dir.pathOf(kLinkMutexName));
        QVERIFY(!attempt.acquiredWithin(kBlockedMs));
        QVERIFY(holder.kill());
        QVERIFY(attempt.acquiredWithin(kPromptMs));
    }

    void hammeringPeersLoseNoUpdate()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        Peer first(dir, {QStringLiteral("hammer"), QStringLiteral("50000")});
        Peer second(dir, {QStringLiteral("hammer"), QStringLiteral("50000")});
        QVERIFY(first.waitForLine(QStringLiteral("ready"), kStartMs));
        QVERIFY(second.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(0));

        // Both start together, so that they contend for the whole run.
        QVERIFY(first.go());
        QVERIFY(second.go());
        QVERIFY(first.waitForLine(QStringLiteral("done"), kHammerMs));
        QVERIFY(second.waitForLine(QStringLiteral("done"), kHammerMs));
        QVERIFY(first.finishes(kPromptMs));
        QVERIFY(second.finishes(kPromptMs));
        QVERIFY(first.endedCleanly());
        QVERIFY(second.endedCleanly());

        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(100000));
    }

    void threadsAndAPeerLoseNoUpdate()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        // The peer creates the counter region (under the mutex) before it says ready.
        Peer peer(dir, {QStringLiteral("hammer"), QStringLiteral("50000")});
        QVERIFY(peer.waitForLine(QStringLiteral("ready"), kStartMs));
        std::string why;
        auto counter = std::make_shared<platform::SharedRegion>(
            platform::SharedRegion::open(dir.pathOf("hammer-counter"), why));
        QVERIFY2(counter->isValid(), why.c_str());
        QVERIFY(counter->knownSize() >= kCounterOffset + sizeof(std::uint64_t));

        // Two threads of this process, each through a handle of its own (so
        // they meet in the process's shared state), against the peer. All
        // three start together.
        const std::string mutexPath = dir.pathOf(kLinkMutexName);
        auto faults = std::make_shared<std::atomic<int>>(0);
        std::promise<void> startGate;
        const std::shared_future<void> start = startGate.get_future().share();
        std::vector<std::future<void>> threads;
        for (int t = 0; t < 2; ++t) {
            threads.push_back(runDetached([mutexPath, counter, faults, start] {
                start.wait();
                std::string error;
                platform::NamedMutex mutex = platform::NamedMutex::openOrCreate(mutexPath, error);
                if (!mutex.isValid()) {
                    ++*faults;
                    return;
                }
                std::uint8_t* const slot = counter->base() + kCounterOffset;
                for (int i = 0; i < 25000; ++i) {
                    platform::NamedMutexLocker lock(mutex);
                    std::uint64_t value = 0;
                    if (!platform::guardedRead(&value, slot, sizeof value))
                        ++*faults;
                    ++value;
                    sched_yield();
                    if (!platform::guardedWrite(slot, &value, sizeof value))
                        ++*faults;
                }
            }));
        }
        startGate.set_value();
        QVERIFY(peer.go());

        for (auto& thread : threads) {
            QVERIFY2(thread.wait_for(std::chrono::milliseconds(kHammerMs)) == std::future_status::ready,
                     "a hammering thread of the test is stuck on the mutex");
        }
        QVERIFY(peer.waitForLine(QStringLiteral("done"), kHammerMs));
        QVERIFY(peer.finishes(kPromptMs));
        QVERIFY(peer.endedCleanly());
        QCOMPARE(faults->load(), 0);

        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(100000));
    }

    // --- Events between processes ---

    void eventSetsBeforeAWaitWakeItOnce()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        std::string why;
        // Held open throughout: an event lives while a process has it open.
        platform::NamedEvent event =
            platform::NamedEvent::openOrCreate(dir.pathOf(kClientEventName), why);
        QVERIFY2(event.isValid(), why.c_str());

        // Four sets from two processes, all before the wait...
        Peer thrice(dir, {QStringLiteral("set-event"), QStringLiteral("3")});
        QVERIFY(thrice.waitForLine(QStringLiteral("set"), kStartMs));
        QVERIFY(thrice.finishes(kPromptMs));
        QVERIFY(thrice.endedCleanly());
        Peer once(dir, {QStringLiteral("set-event")});
        QVERIFY(once.waitForLine(QStringLiteral("set"), kStartMs));
        QVERIFY(once.finishes(kPromptMs));
        QVERIFY(once.endedCleanly());

        // ...wake one wait, and only one.
        QCOMPARE(event.wait(kPromptMs), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(event.wait(kBlockedMs), platform::NamedEvent::WaitResult::TimedOut);

        // The other way round: sets here, waits in another process.
        QVERIFY(event.set());
        QVERIFY(event.set());
        QVERIFY(event.set());
        Peer waiter(dir, {QStringLiteral("wait-event"), QString::number(kPromptMs),
                          QString::number(kBlockedMs)});
        QCOMPARE(waiter.nextLine(kStartMs), QStringLiteral("waiting"));
        QCOMPARE(waiter.nextLine(kPromptMs), QStringLiteral("signalled"));
        QCOMPARE(waiter.nextLine(kPromptMs), QStringLiteral("timeout"));
        QVERIFY(waiter.finishes(kPromptMs));
        QVERIFY(waiter.endedCleanly());
    }

    void eventSetByAPeerWakesAWaitingProcess()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());

        // A peer that is already waiting is woken by another peer's set. Its
        // wait is far longer than the test waits for the answer, so the
        // answer can only come from the set.
        Peer waiter(dir, {QStringLiteral("wait-event"), QStringLiteral("60000")});
        QCOMPARE(waiter.nextLine(kStartMs), QStringLiteral("waiting"));
        QVERIFY2(!waiter.finishes(kBlockedMs), "the wait ended without a set");
        Peer setter(dir, {QStringLiteral("set-event")});
        QCOMPARE(waiter.nextLine(kStartMs), QStringLiteral("signalled"));
        QVERIFY(waiter.finishes(kPromptMs));
        QVERIFY(waiter.endedCleanly());
        QVERIFY(setter.finishes(kPromptMs));
        QVERIFY(setter.endedCleanly());

        // This process waiting, a peer setting a little later.
        std::string why;
        platform::NamedEvent event =
            platform::NamedEvent::openOrCreate(dir.pathOf(kClientEventName), why);
        QVERIFY2(event.isValid(), why.c_str());
        event.reset();
        Peer lateSetter(dir, {QStringLiteral("set-event"), QStringLiteral("--delay-ms"),
                              QString::number(kBlockedMs)});
        QCOMPARE(event.wait(kStartMs), platform::NamedEvent::WaitResult::Signalled);
        QVERIFY(lateSetter.waitForLine(QStringLiteral("set"), kPromptMs));
        QCOMPARE(event.wait(0), platform::NamedEvent::WaitResult::TimedOut);
    }

    // --- A Client against a service process ---

    void registrationWaitsForTheServiceAndMirrorsIt()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        LogCapture log;   // the refused registration is logged
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());

        QCOMPARE(client.vlcommRegister(&callback), -1);
        QVERIFY(!client.isConnected());
        QCOMPARE(client.poll(), -1);

        Peer service(dir, serviceArguments(3, 5));
        QVERIFY(service.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        QVERIFY(client.isConnected());

        // The service's tables arrive through the callback and the mirror.
        const auto seesTheService = [&] {
            client.poll();
            return idsText(client) == QLatin1String("5 6 7") && client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesTheService(), kPromptMs);
        QVERIFY(callback.events.contains(QStringLiteral("paramAdd 0 0")));
        QVERIFY(callback.events.contains(QStringLiteral("paramAdd 1 0")));
        QVERIFY(indexOfPrefix(callback.events, QStringLiteral("paramAdd 2 ")) >= 0);
        for (const char* app : {"appAdd 5 app5 p4 pin0 down5", "appAdd 6 app6 p4 pin0 down6",
                                "appAdd 7 app7 p4 pin0 down7"})
            QVERIFY2(indexOfPrefix(callback.events, QLatin1String(app)) >= 0, app);
        QCOMPARE(callback.events.filter(QStringLiteral("appAdd")).size(), 3);
        QVERIFY(callback.events.contains(QStringLiteral("active 0 0 1")));

        AppInfo info{};
        QCOMPARE(client.getApplication(6, info), 0);
        QCOMPARE(utf8(textFromField(info.name)), std::string("app6"));
        QCOMPARE(info.priority, 4u);
        QCOMPARE(info.processClass, 1u);
        QVERIFY(isServiceDownload(6, info.downloadSpeed));
        QVERIFY(isServiceUpload(6, info.uploadSpeed));
        std::uint32_t value = 99;
        QCOMPARE(client.controlCenterGetParameter(kParameterActualActive, value), 0);
        QCOMPARE(value, 0u);

        // The heartbeat moves, and while it does the service stays alive.
        const auto sawBeats = [&] {
            client.poll();
            return heartbeats(callback.events).size() >= 3;
        };
        QTRY_VERIFY_WITH_TIMEOUT(sawBeats(), kPromptMs);
        const QList<std::uint32_t> beats = heartbeats(callback.events);
        for (int i = 1; i < beats.size(); ++i)
            QVERIFY(beats[i] > beats[i - 1]);
        for (int i = 0; i < 20; ++i) {
            client.poll();
            QTest::qWait(50);
        }
        QVERIFY(client.isAlive());
        QVERIFY(!callback.events.contains(QStringLiteral("active 0 0 0")));

        QVERIFY(service.terminate());
        QVERIFY2(service.endedCleanly(), "the service did not end cleanly on SIGTERM");
    }

    void stalledHeartbeatReportsTheServiceGone()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());

        Peer service(dir, {QStringLiteral("service"), QStringLiteral("--apps"), QStringLiteral("2"),
                           QStringLiteral("--stall-after-ms"), QStringLiteral("2000")});
        QVERIFY(service.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto alive = [&] {
            client.poll();
            return client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(alive(), kPromptMs);
        QVERIFY(callback.events.contains(QStringLiteral("active 0 0 1")));

        QVERIFY(service.waitForLine(QStringLiteral("stalled"), kStartMs));
        const auto gone = [&] {
            client.poll();
            return !client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(gone(), kPromptMs);
        const QStringList reports = callback.events.filter(QStringLiteral("active "));
        QVERIFY(!reports.isEmpty());
        QCOMPARE(reports.last(), QStringLiteral("active 0 0 0"));
        // Gone by its heartbeat alone: the process still runs and the
        // client is still registered.
        QVERIFY(service.isRunning());
        QVERIFY(client.isConnected());
        QCOMPARE(client.poll(), 0);

        // The stalled service sleeps on the client event far longer than the
        // test waits: the write reaches it in time only if publishing woke it.
        AppInfo info{};
        QCOMPARE(client.getApplication(1, info), 0);
        info.priority = 2;
        QCOMPARE(client.controlCenterModifyApplication(info), 0);
        QVERIFY2(service.waitForLineStartingWith(QStringLiteral("took app 1 priority 2 "), kPromptMs,
                                                 nullptr),
                 "the client's write did not wake the sleeping service");

        QVERIFY(service.terminate());
        QVERIFY2(service.endedCleanly(), "the service did not end cleanly on SIGTERM");
    }

    void priorityWriteIsTakenOverByTheService()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());
        Peer service(dir, serviceArguments(3, 7));
        QVERIFY(service.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto hasApp7 = [&] {
            client.poll();
            AppInfo probe{};
            return client.getApplication(7, probe) == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(hasApp7(), kPromptMs);

        // Read, modify, write. The speeds belong to the service: what the
        // program writes there must not stick on either side.
        AppInfo info{};
        QCOMPARE(client.getApplication(7, info), 0);
        QCOMPARE(info.priority, 4u);
        info.priority = 1;
        info.downloadSpeed = 0;
        info.uploadSpeed = 0;
        QCOMPARE(client.controlCenterModifyApplication(info), 0);

        QString line;
        QVERIFY(service.waitForLineStartingWith(QStringLiteral("took app 7 "), kPromptMs, &line));
        TookOver took;
        QVERIFY2(parseTookOver(line, took), qPrintable(line));
        QCOMPARE(took.priority, 1u);
        QVERIFY2(isServiceDownload(7, took.down), qPrintable(line));
        QVERIFY2(isServiceUpload(7, took.up), qPrintable(line));

        // The client's copy keeps the new priority and follows the service's
        // speeds as they change.
        std::uint32_t firstDownload = 0;
        const auto showsServiceSpeeds = [&] {
            client.poll();
            AppInfo now{};
            if (client.getApplication(7, now) != 0 || now.priority != 1
                || !isServiceDownload(7, now.downloadSpeed) || !isServiceUpload(7, now.uploadSpeed))
                return false;
            firstDownload = now.downloadSpeed;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(showsServiceSpeeds(), kPromptMs);
        const auto speedsMoveOn = [&] {
            client.poll();
            AppInfo now{};
            return client.getApplication(7, now) == 0 && now.priority == 1
                   && isServiceDownload(7, now.downloadSpeed) && now.downloadSpeed != firstDownload;
        };
        QTRY_VERIFY_WITH_TIMEOUT(speedsMoveOn(), kPromptMs);
        // The other applications kept their priority.
        QCOMPARE(client.getApplication(8, info), 0);
        QCOMPARE(info.priority, 4u);

        // A parameter write is answered: the requested active state comes
        // back as the actual one.
        QCOMPARE(client.controlCenterSetParameter(kParameterRequestedActive, 1), 0);
        QVERIFY(service.waitForLine(QStringLiteral("answered active 1"), kPromptMs));
        const auto answered = [&] {
            client.poll();
            return callback.events.contains(QStringLiteral("active 1 1 1"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(answered(), kPromptMs);

        QVERIFY(service.terminate());
        QVERIFY2(service.endedCleanly(), "the service did not end cleanly on SIGTERM");
    }

    void restartedServiceReplacesTheTables()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());

        Peer first(dir, serviceArguments(3, 1));
        QVERIFY(first.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto seesFirst = [&] {
            client.poll();
            return idsText(client) == QLatin1String("1 2 3") && client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesFirst(), kPromptMs);

        // The service dies; the client notices by the heartbeat.
        QVERIFY(first.kill());
        const auto gone = [&] {
            client.poll();
            return !client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(gone(), kPromptMs);
        callback.take();

        // A new service on the same objects, with other applications. The
        // client stays registered all along.
        Peer second(dir, serviceArguments(2, 11));
        QVERIFY(second.waitForLine(QStringLiteral("ready"), kStartMs));
        const auto seesSecond = [&] {
            client.poll();
            return idsText(client) == QLatin1String("11 12") && client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesSecond(), kPromptMs);
        QVERIFY(client.isConnected());

        const QStringList events = callback.events;
        const int removed1 = events.indexOf(QStringLiteral("appRemoved 1"));
        const int removed2 = events.indexOf(QStringLiteral("appRemoved 2"));
        const int removed3 = events.indexOf(QStringLiteral("appRemoved 3"));
        const int added11 = indexOfPrefix(events, QStringLiteral("appAdd 11 app11 p4"));
        const int added12 = indexOfPrefix(events, QStringLiteral("appAdd 12 app12 p4"));
        QVERIFY(removed1 >= 0 && removed2 >= 0 && removed3 >= 0);
        QVERIFY(added11 >= 0 && added12 >= 0);
        QVERIFY(qMax(removed1, qMax(removed2, removed3)) < qMin(added11, added12));
        QCOMPARE(events.filter(QStringLiteral("appRemoved")).size(), 3);
        QCOMPARE(events.filter(QStringLiteral("appAdd")).size(), 2);
        QVERIFY(events.contains(QStringLiteral("active 0 0 1")));

        QVERIFY(second.terminate());
        QVERIFY(second.endedCleanly());
    }

    void writeAfterAServiceRestartReachesTheNewService()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());

        Peer first(dir, serviceArguments(3, 1));
        QVERIFY(first.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto seesFirst = [&] {
            client.poll();
            return idsText(client) == QLatin1String("1 2 3");
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesFirst(), kPromptMs);
        AppInfo info{};
        QCOMPARE(client.getApplication(2, info), 0);
        info.priority = 1;
        QCOMPARE(client.controlCenterModifyApplication(info), 0);
        QVERIFY(first.waitForLineStartingWith(QStringLiteral("took app 2 priority 1 "), kPromptMs,
                                              nullptr));

        QVERIFY(first.kill());
        Peer second(dir, serviceArguments(2, 11));
        QVERIFY(second.waitForLine(QStringLiteral("ready"), kStartMs));
        const auto seesSecond = [&] {
            client.poll();
            return idsText(client) == QLatin1String("11 12");
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesSecond(), kPromptMs);

        // The program's first write to the new service's table.
        QCOMPARE(client.getApplication(11, info), 0);
        info.priority = 2;
        QCOMPARE(client.controlCenterModifyApplication(info), 0);
        QVERIFY2(second.waitForLineStartingWith(QStringLiteral("took app 11 priority 2 "),
                                                kPromptMs, nullptr),
                 "the first application write after the service restart never reached the service");
    }

    void applicationAddedByTheClientReachesTheService()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());
        Peer service(dir, serviceArguments(2, 1));
        QVERIFY(service.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto seesTheService = [&] {
            client.poll();
            return idsText(client) == QLatin1String("1 2");
        };
        QTRY_VERIFY_WITH_TIMEOUT(seesTheService(), kPromptMs);

        // The usual case for a running service: it has republished the
        // application table (new speeds) since the client last pulled.
        client.poll();
        const RegionFile apps(dir, kAppRegionName);
        const std::uint64_t pulledGeneration = apps.header().generation;
        QTRY_VERIFY_WITH_TIMEOUT(apps.header().generation != pulledGeneration, kPromptMs);

        callback.take();
        QCOMPARE(client.addApplication(makeApp(99, "added by the program")), 0);
        QVERIFY2(!callback.events.contains(QStringLiteral("appRemoved 99")),
                 "the client's own link reported the application it was adding as removed");
        QVERIFY2(service.waitForLine(QStringLiteral("added app 99"), kPromptMs),
                 "the application added by the client never reached the service");
        const auto keepsIt = [&] {
            client.poll();
            return idsText(client) == QLatin1String("1 2 99");
        };
        QTRY_VERIFY_WITH_TIMEOUT(keepsIt(), kPromptMs);
    }

    void applicationsAddedRightAfterANewEpochArePublished()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        RecordingCallback callback;
        Client client;
        client.setObjectDirectory(dir.path());

        // The service adds its applications straight after beginNewEpoch().
        QStringList arguments = serviceArguments(3, 1);
        arguments << QStringLiteral("--add-apps-first");
        Peer service(dir, arguments);
        QVERIFY(service.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(client.vlcommRegister(&callback), 0);
        const auto alive = [&] {
            client.poll();
            return client.isAlive();
        };
        QTRY_VERIFY_WITH_TIMEOUT(alive(), kPromptMs);
        // Everything was published before "ready", and the poll that saw the
        // heartbeat pulled the application table too.
        QCOMPARE(idsText(client), QStringLiteral("1 2 3"));
        QVERIFY2(!service.lines().contains(QStringLiteral("removed app 1")),
                 "the service's own link reported the application it had just added as removed");
    }
};

QTEST_GUILESS_MAIN(TestCrossProcess)
#include "tst_crossprocess.moc"
