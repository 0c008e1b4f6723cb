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
constexpr int kHammerMs = 120000;   // 20,000 contended lock rounds (a fraction of a second
                                    // when the machine is idle; a minute when its cores
                                    // are busy, as every hand-over waits for a time slice)
constexpr int kPeerRounds = 10000;  // one peer's share of the rounds
constexpr int kBlockedMs = 200;     // how long "does not get the mutex" is watched

constexpr std::uint64_t kCounterOffset = 16;   // where linkpeer's hammer counts

// One linkpeer process in the test's object directory.
class Peer : public PeerProcess {
public:
    Peer(const ObjectDir& dir, const QStringList& arguments)
        : PeerProcess(QStringLiteral(KESTRIX_LINKPEER), dir, arguments)
    {
    }
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

template <typename Future>
bool readyWithin(const Future& future, int timeoutMs)
{
    return future.valid() && future.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

// Takes the link mutex through a handle of its own on a detached thread and
// holds it until release(). Never acquiring it leaves only that thread stuck.
class LockAttempt {
public:
    explicit LockAttempt(const std::string& mutexPath)
    {
        std::string why;
        auto mutex = std::make_shared<platform::NamedMutex>(platform::NamedMutex::openOrCreate(mutexPath, why));
        if (!mutex->isValid()) {
            qWarning("link mutex: %s", why.c_str());
            return;
        }
        auto acquired = std::make_shared<std::promise<void>>();
        m_acquired = acquired->get_future();
        m_released = runDetached([mutex, acquired, release = m_release.get_future().share()] {
            mutex->lock();
            acquired->set_value();
            release.wait();
            mutex->unlock();
        });
    }

    ~LockAttempt() { release(); }

    bool acquiredWithin(int timeoutMs) { return readyWithin(m_acquired, timeoutMs); }

    // Lets the mutex go (once acquired); true when that happened within timeoutMs.
    bool release(int timeoutMs = 0)
    {
        if (!m_releaseSent) {
            m_releaseSent = true;
            m_release.set_value();
        }
        return readyWithin(m_released, timeoutMs);
    }

private:
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

// A peer that says line (within timeoutMs) and then ends by itself with exit code 0.
bool runsToItsEnd(Peer& peer, const QString& line, int timeoutMs = kStartMs)
{
    return peer.waitForLine(line, timeoutMs) && peer.finishes(kPromptMs) && peer.endedCleanly();
}

bool stopsCleanly(Peer& service)
{
    return service.terminate() && service.endedCleanly();
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

// The service peer's speeds for application id lie in these ranges.
bool areServiceSpeeds(std::uint32_t id, std::uint32_t down, std::uint32_t up)
{
    return down >= id * 1000 && down < id * 1000 + 1000 && up >= id * 100 && up < id * 100 + 100;
}

QStringList serviceArguments(int apps, int firstApp, const QStringList& more = QStringList())
{
    return QStringList{QStringLiteral("service"), QStringLiteral("--apps"), QString::number(apps),
                       QStringLiteral("--first-app"), QString::number(firstApp)}
           + more;
}

// A Client in a private object directory, with a callback that records its reports.
struct Link {
    ObjectDir dir;
    RecordingCallback callback;
    Client client;

    Link() { client.setObjectDirectory(dir.path()); }

    // Polls until condition() holds; false when it does not within kPromptMs.
    bool pollUntil(const std::function<bool()>& condition)
    {
        const QDeadlineTimer deadline(kPromptMs);
        for (;;) {
            client.poll();
            if (condition())
                return true;
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
    }

    bool shows(const char* ids)
    {
        return pollUntil([&] { return idsText(client) == QLatin1String(ids) && client.isAlive(); });
    }

    bool alive(bool expected = true)
    {
        return pollUntil([&] { return client.isAlive() == expected; });
    }

    // Starts a service peer; once it is ready, registers the client if it is not yet, and
    // waits until the client shows the service alive with the application ids given.
    std::unique_ptr<Peer> startService(const QStringList& arguments, const char* ids = nullptr)
    {
        auto service = std::make_unique<Peer>(dir, arguments);
        const bool ready = dir.isValid() && service->waitForLine(QStringLiteral("ready"), kStartMs)
                           && (client.isConnected() || client.vlcommRegister(&callback) == 0);
        return ready && (ids == nullptr || shows(ids)) ? std::move(service) : nullptr;
    }

    // Writes priority for the application id and waits until the service says it took it over.
    bool serviceTakesPriority(Peer& service, std::uint32_t id, std::uint32_t priority)
    {
        AppInfo info{};
        if (client.getApplication(id, info) != 0)
            return false;
        info.priority = priority;
        return client.controlCenterModifyApplication(info) == 0
               && service.waitForLineStartingWith(
                       QStringLiteral("took app %1 priority %2 ").arg(id).arg(priority), kPromptMs);
    }
};

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
        QVERIFY2(!readyWithin(polling, kBlockedMs),
                 "Client::poll did not wait for the mutex another process held");

        // ...and goes on once the holder is killed: the kernel drops its lock.
        QVERIFY(holder.kill());
        QVERIFY2(readyWithin(polling, kPromptMs),
                 "Client::poll stayed blocked after the mutex holder was killed");
        QCOMPARE(*polled, 0);
        QVERIFY(callback->events.contains(QStringLiteral("paramAdd 2 7")));
        QVERIFY(callback->events.contains(QStringLiteral("active 0 0 1")));

        // This process's own lock is free at once too, and the client works on.
        LockAttempt attempt(dir.pathOf(kLinkMutexName));
        QVERIFY2(attempt.acquiredWithin(kPromptMs), "the mutex of a killed holder stayed locked");
        QVERIFY(attempt.release(kPromptMs));
        QVERIFY2(readyWithin(runDetached([client, polled] { *polled = client->poll(); }), kPromptMs),
                 "Client::poll blocked after the lock was released");
        QCOMPARE(*polled, 0);
    }

    void mutexHeldByOneProcessBlocksTheOther()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        std::string why;
        platform::NamedMutex mutex =
            platform::NamedMutex::openOrCreate(dir.pathOf(kLinkMutexName), why);
        QVERIFY2(mutex.isValid(), why.c_str());

        // The test holds it: the peer waits.
        mutex.lock();
        Peer holder(dir, {QStringLiteral("hold-mutex")});
        const bool heldMeanwhile = holder.waitForLine(QStringLiteral("held"), kBlockedMs);
        const bool runningMeanwhile = holder.isRunning();
        mutex.unlock();
        QVERIFY2(!heldMeanwhile, "the peer got the mutex while the test held it");
        QVERIFY2(runningMeanwhile, "the peer ended instead of waiting for the mutex");
        QVERIFY2(holder.waitForLine(QStringLiteral("held"), kPromptMs),
                 "the peer did not get the mutex after the test released it");

        // The peer holds it: this process waits until the peer ends.
        LockAttempt attempt(dir.pathOf(kLinkMutexName));
        QVERIFY2(!attempt.acquiredWithin(kBlockedMs), "got the mutex while another process held it");
        QVERIFY(holder.isRunning());
        QVERIFY(holder.terminate());
        QVERIFY2(attempt.acquiredWithin(kPromptMs), "the mutex stayed locked after its holder ended");
        QVERIFY(attempt.release(kPromptMs));
    }

    void hammeringPeersLoseNoUpdate()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        Peer first(dir, {QStringLiteral("hammer"), QString::number(kPeerRounds)});
        Peer second(dir, {QStringLiteral("hammer"), QString::number(kPeerRounds)});
        QVERIFY(first.waitForLine(QStringLiteral("ready"), kStartMs));
        QVERIFY(second.waitForLine(QStringLiteral("ready"), kStartMs));
        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(0));

        // Both start together, so that they contend for the whole run.
        QVERIFY(first.writeLine("go") && second.writeLine("go"));
        QVERIFY(runsToItsEnd(first, QStringLiteral("done"), kHammerMs));
        QVERIFY(runsToItsEnd(second, QStringLiteral("done"), kHammerMs));
        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(2 * kPeerRounds));
    }

    void threadsAndAPeerLoseNoUpdate()
    {
        ObjectDir dir;
        QVERIFY(dir.isValid());
        // The peer creates the counter region (under the mutex) before it says ready.
        Peer peer(dir, {QStringLiteral("hammer"), QString::number(kPeerRounds)});
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
                for (int i = 0; i < kPeerRounds / 2; ++i) {
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
        QVERIFY(peer.writeLine("go"));

        for (auto& thread : threads) {
            QVERIFY2(readyWithin(thread, kHammerMs), "a hammering thread of the test is stuck on the mutex");
        }
        QVERIFY(runsToItsEnd(peer, QStringLiteral("done"), kHammerMs));
        QCOMPARE(faults->load(), 0);
        QCOMPARE(readCounter(dir, "hammer-counter"), std::uint64_t(2 * kPeerRounds));
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
        QVERIFY(runsToItsEnd(thrice, QStringLiteral("set")));
        Peer once(dir, {QStringLiteral("set-event")});
        QVERIFY(runsToItsEnd(once, QStringLiteral("set")));

        // ...wake one wait, and only one.
        QCOMPARE(event.wait(kPromptMs), platform::NamedEvent::WaitResult::Signalled);
        QCOMPARE(event.wait(kBlockedMs), platform::NamedEvent::WaitResult::TimedOut);

        // The other way round: sets here, waits in another process.
        QVERIFY(event.set() && event.set() && event.set());
        Peer waiter(dir, {QStringLiteral("wait-event"), QString::number(kPromptMs),
                          QString::number(kBlockedMs)});
        QCOMPARE(waiter.nextLine(kStartMs), QStringLiteral("waiting"));
        QCOMPARE(waiter.nextLine(kPromptMs), QStringLiteral("signalled"));
        QCOMPARE(waiter.nextLine(kPromptMs), QStringLiteral("timeout"));
        QVERIFY(waiter.finishes(kPromptMs) && waiter.endedCleanly());
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
        QVERIFY(runsToItsEnd(waiter, QStringLiteral("signalled")));
        QVERIFY(runsToItsEnd(setter, QStringLiteral("set"), kPromptMs));

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
        Link link;
        LogCapture log;   // the refused registration is logged
        QCOMPARE(link.client.vlcommRegister(&link.callback), -1);
        QVERIFY(!link.client.isConnected());
        QCOMPARE(link.client.poll(), -1);

        // Once the service is there, its tables arrive through the callback and the mirror.
        auto service = link.startService(serviceArguments(3, 5), "5 6 7");
        QVERIFY(service);
        QVERIFY(link.client.isConnected());
        const QStringList& events = link.callback.events;
        QVERIFY(events.contains(QStringLiteral("paramAdd 0 0")));
        QVERIFY(events.contains(QStringLiteral("paramAdd 1 0")));
        QVERIFY(indexOfPrefix(events, QStringLiteral("paramAdd 2 ")) >= 0);
        for (const char* app : {"appAdd 5 app5 p4 pin0 down5", "appAdd 6 app6 p4 pin0 down6",
                                "appAdd 7 app7 p4 pin0 down7"})
            QVERIFY2(indexOfPrefix(events, QLatin1String(app)) >= 0, app);
        QCOMPARE(events.filter(QStringLiteral("appAdd")).size(), 3);
        QVERIFY(events.contains(QStringLiteral("active 0 0 1")));

        AppInfo info{};
        QCOMPARE(link.client.getApplication(6, info), 0);
        QCOMPARE(utf8(textFromField(info.name)), std::string("app6"));
        QCOMPARE(info.priority, 4u);
        QCOMPARE(info.processClass, 1u);
        QVERIFY(areServiceSpeeds(6, info.downloadSpeed, info.uploadSpeed));
        std::uint32_t value = 99;
        QCOMPARE(link.client.controlCenterGetParameter(kParameterActualActive, value), 0);
        QCOMPARE(value, 0u);

        // The heartbeat moves, and while it does the service stays alive.
        QVERIFY(link.pollUntil([&] { return heartbeats(events).size() >= 3; }));
        const QList<std::uint32_t> beats = heartbeats(events);
        for (int i = 1; i < beats.size(); ++i)
            QVERIFY(beats[i] > beats[i - 1]);
        for (int i = 0; i < 20; ++i) {
            link.client.poll();
            QTest::qWait(50);
        }
        QVERIFY(link.client.isAlive());
        QVERIFY(!events.contains(QStringLiteral("active 0 0 0")));
        QVERIFY2(stopsCleanly(*service), "the service did not end cleanly on SIGTERM");
    }

    void stalledHeartbeatReportsTheServiceGone()
    {
        Link link;
        auto service = link.startService(serviceArguments(2, 1, {"--stall-after-ms", "2000"}), "1 2");
        QVERIFY(service);
        QVERIFY(link.callback.events.contains(QStringLiteral("active 0 0 1")));

        QVERIFY(service->waitForLine(QStringLiteral("stalled"), kStartMs));
        QVERIFY(link.alive(false));
        const QStringList reports = link.callback.events.filter(QStringLiteral("active "));
        QCOMPARE(reports.last(), QStringLiteral("active 0 0 0"));
        // Gone by its heartbeat alone: the process still runs and the
        // client is still registered.
        QVERIFY(service->isRunning() && link.client.isConnected());
        QCOMPARE(link.client.poll(), 0);

        // The stalled service sleeps on the client event far longer than the
        // test waits: the write reaches it in time only if publishing woke it.
        QVERIFY2(link.serviceTakesPriority(*service, 1, 2),
                 "the client's write did not wake the sleeping service");
        QVERIFY2(stopsCleanly(*service), "the service did not end cleanly on SIGTERM");
    }

    void priorityWriteIsTakenOverByTheService()
    {
        Link link;
        auto service = link.startService(serviceArguments(3, 7), "7 8 9");
        QVERIFY(service);

        // Read, modify, write. The speeds belong to the service: what the
        // program writes there must not stick on either side.
        AppInfo info{};
        QCOMPARE(link.client.getApplication(7, info), 0);
        QCOMPARE(info.priority, 4u);
        info.priority = 1;
        info.downloadSpeed = 0;
        info.uploadSpeed = 0;
        QCOMPARE(link.client.controlCenterModifyApplication(info), 0);
        QString line;
        QVERIFY(service->waitForLineStartingWith(QStringLiteral("took app 7 "), kPromptMs, &line));
        const QStringList words = line.split(QLatin1Char(' '));   // took app 7 priority P down D up U
        QVERIFY2(words.size() == 9 && words[4] == QLatin1String("1")
                         && areServiceSpeeds(7, words[6].toUInt(), words[8].toUInt()),
                 qPrintable(line));

        // The client's copy keeps the new priority and follows the service's
        // speeds as they change.
        AppInfo now{};
        const auto showsServiceSpeeds = [&] {
            return link.client.getApplication(7, now) == 0 && now.priority == 1
                   && areServiceSpeeds(7, now.downloadSpeed, now.uploadSpeed);
        };
        QVERIFY(link.pollUntil(showsServiceSpeeds));
        const std::uint32_t firstDownload = now.downloadSpeed;
        QVERIFY(link.pollUntil([&] { return showsServiceSpeeds() && now.downloadSpeed != firstDownload; }));
        // The other applications kept their priority.
        QCOMPARE(link.client.getApplication(8, info), 0);
        QCOMPARE(info.priority, 4u);

        // A parameter write is answered: the requested active state comes
        // back as the actual one.
        QCOMPARE(link.client.controlCenterSetParameter(kParameterRequestedActive, 1), 0);
        QVERIFY(service->waitForLine(QStringLiteral("answered active 1"), kPromptMs));
        QVERIFY(link.pollUntil([&] { return link.callback.events.contains(QStringLiteral("active 1 1 1")); }));
        QVERIFY2(stopsCleanly(*service), "the service did not end cleanly on SIGTERM");
    }

    void restartedServiceReplacesTheTablesAndTakesWrites()
    {
        Link link;
        auto first = link.startService(serviceArguments(3, 1), "1 2 3");
        QVERIFY(first);
        QVERIFY(link.serviceTakesPriority(*first, 2, 1));

        // The service dies; the client notices by the heartbeat.
        QVERIFY(first->kill());
        QVERIFY(link.alive(false));
        link.callback.take();

        // A new service on the same objects, with other applications. The
        // client stays registered all along.
        auto second = link.startService(serviceArguments(2, 11), "11 12");
        QVERIFY(second);
        QVERIFY(link.client.isConnected());
        // The old applications are reported removed, then the new ones added.
        const QStringList events = link.callback.events;
        const QStringList removed = events.filter(QStringLiteral("appRemoved ")),
                          added = events.filter(QStringLiteral("appAdd "));
        QCOMPARE(removed.size(), 3);
        QCOMPARE(QSet<QString>(removed.begin(), removed.end()),
                 (QSet<QString>{"appRemoved 1", "appRemoved 2", "appRemoved 3"}));
        QVERIFY(added.size() == 2 && indexOfPrefix(added, QStringLiteral("appAdd 11 app11 p4")) >= 0
                && indexOfPrefix(added, QStringLiteral("appAdd 12 app12 p4")) >= 0);
        QVERIFY(events.indexOf(removed.last()) < events.indexOf(added.first()));
        QVERIFY(events.contains(QStringLiteral("active 0 0 1")));

        // The program's first write to the new service's table (it wrote to the old one before).
        QVERIFY2(link.serviceTakesPriority(*second, 11, 2),
                 "the first application write after the service restart never reached the service");
        QVERIFY(stopsCleanly(*second));
    }

    void applicationAddedByTheClientReachesTheService()
    {
        Link link;
        auto service = link.startService(serviceArguments(2, 1), "1 2");
        QVERIFY(service);

        // The usual case for a running service: it has republished the
        // application table (new speeds) since the client last pulled.
        link.client.poll();
        const RegionFile apps(link.dir, kAppRegionName);
        const std::uint64_t pulledGeneration = apps.header().generation;
        QTRY_VERIFY_WITH_TIMEOUT(apps.header().generation != pulledGeneration, kPromptMs);

        link.callback.take();
        QCOMPARE(link.client.addApplication(makeApp(99, "added by the program")), 0);
        QVERIFY2(!link.callback.events.contains(QStringLiteral("appRemoved 99")),
                 "the client's own link reported the application it was adding as removed");
        QVERIFY2(service->waitForLine(QStringLiteral("added app 99"), kPromptMs),
                 "the application added by the client never reached the service");
        QVERIFY(link.shows("1 2 99"));
    }

    void applicationsAddedRightAfterANewEpochArePublished()
    {
        // The service adds its applications straight after beginNewEpoch().
        Link link;
        auto service = link.startService(serviceArguments(3, 1, {"--add-apps-first"}));
        QVERIFY(service);
        QVERIFY(link.alive());
        // Everything was published before "ready", and the poll that saw the
        // heartbeat pulled the application table too.
        QCOMPARE(idsText(link.client), QStringLiteral("1 2 3"));
        QVERIFY2(!service->lines().contains(QStringLiteral("removed app 1")),
                 "the service's own link reported the application it had just added as removed");
    }
};

QTEST_GUILESS_MAIN(TestCrossProcess)
#include "tst_crossprocess.moc"
