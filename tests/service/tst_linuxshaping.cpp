// The Linux backend for real: two network namespaces joined by a veth pair
// (198.18.0.0/15 and 2001:db8::/32 only), two applications in two cgroups
// under a private cgroup root, traffic the test makes itself, a 10 Mbit/s
// limit. Needs root and the kernel's features; skipped (77) without them.

#include "linktestsupport.h"

#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <csignal>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace servicelink;
using namespace linktest;

namespace {

const QString kId = QString::number(::getpid());
const QString kLan = "kxlan" + kId, kWan = "kxwan" + kId;
QString g_mount;   // the cgroup v2 mount

bool sh(const QString& command, QString* output = nullptr)
{
    QProcess process;
    process.start("sh", {"-c", command});
    const bool ok = process.waitForFinished(15000) && process.exitCode() == 0;
    if (output != nullptr)
        *output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return ok;
}

[[noreturn]] void skip(const QString& why)
{
    std::printf("SKIP: %s\n", qPrintable(why));
    std::exit(77);
}

// Runs @p make with this thread in network namespace @p ns and, when
// @p cgroup is given, this process in that cgroup: a socket keeps both.
int make(const QString& ns, const QString& cgroup, const std::function<int()>& create)
{
    static QFile own("/proc/self/cgroup");
    static const QString home = own.open(QIODevice::ReadOnly) ? QString(own.readAll()).section("0::", 1).trimmed() : "/";
    const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int other = ::open(qPrintable("/run/netns/" + ns), O_RDONLY | O_CLOEXEC);
    const auto join = [](const QString& path) { sh(QString("echo %1 > '%2/cgroup.procs'").arg(::getpid()).arg(path)); };
    ::setns(other, CLONE_NEWNET);
    if (!cgroup.isEmpty())
        join(cgroup);
    const int fd = create();
    if (!cgroup.isEmpty())
        join(g_mount + home);
    ::setns(self, CLONE_NEWNET);
    ::close(self), ::close(other);
    return fd;
}

sockaddr_in6 address(const char* text, quint16 port)
{
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(port);
    ::inet_pton(AF_INET6, text, &a.sin6_addr);
    return a;
}

// One application's traffic in one direction: what the sender writes as fast
// as it may, what the receiver counts.
struct Flow {
    int sender = -1, receiver = -1, keepalive = -1;   // keepalive: the application's UDP socket when it receives
    quint64 received = 0;
    ~Flow() { for (int fd : {sender, receiver}) ::close(fd); }
};

} // namespace

class TestLinuxShaping : public QObject {
    Q_OBJECT

    QString m_cgroups, m_apps[2];
    QTemporaryDir m_state;
    ObjectDir m_dir;
    RecordingCallback m_mirror;
    Client m_client;
    std::unique_ptr<PeerProcess> m_service;
    std::uint32_t m_ids[2] = {41, 7};
    QStringList m_arguments;   // the service's, but for the limits
    int m_sleepers[2] = {};

    std::unique_ptr<Flow> flow(int app, bool upload, bool udp, bool v6)
    {
        const QByteArray wan = v6 ? "2001:db8:18::2" : "::ffff:198.18.0.2";
        const int type = (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC;
        const int server = make(kWan, {}, [&] {
            const int fd = ::socket(AF_INET6, type, 0);
            const sockaddr_in6 any = address("::", 0);
            return ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0 && (udp || ::listen(fd, 1) == 0) ? fd : -1;
        });
        sockaddr_in6 bound{};
        socklen_t length = sizeof bound;
        ::getsockname(server, reinterpret_cast<sockaddr*>(&bound), &length);
        const sockaddr_in6 to = address(wan, ntohs(bound.sin6_port));
        const int client = make(kLan, m_apps[app], [&] {
            const int fd = ::socket(AF_INET6, type, 0);
            return ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? fd : -1;
        });
        auto f = std::make_unique<Flow>();
        int far = server;
        if (udp) {
            sockaddr_in6 from{};
            length = sizeof from;
            ::send(client, "hello", 5, 0);   // the first outgoing packet, from which downloads are learned
            ::recvfrom(server, nullptr, 0, 0, reinterpret_cast<sockaddr*>(&from), &length);
            ::connect(server, reinterpret_cast<sockaddr*>(&from), length);
            f->keepalive = upload ? -1 : client;
        } else {
            far = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
            ::close(server);
        }
        f->sender = upload ? client : far, f->receiver = upload ? far : client;
        for (int fd : {client, far})
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        return f;
    }

    // Pumps both flows for @p seconds; returns the Mbit/s each receiver got
    // and, in @p published, the mean the service published for each application.
    QList<double> pump(std::vector<std::unique_ptr<Flow>>& flows, double seconds, bool upload, QList<double>* published = nullptr)
    {
        static char buffer[65536];
        const quint64 start[2] = {flows[0]->received, flows[1]->received};
        QElapsedTimer timer;
        timer.start();
        double sums[2] = {}, samples = 0;
        for (qint64 sampled = 0; timer.elapsed() < seconds * 1000;) {
            for (auto& f : flows) {
                for (int i = 0; i < 16 && ::send(f->sender, buffer, 1400, MSG_NOSIGNAL) > 0; ++i) {
                }
                for (ssize_t n; (n = ::recv(f->receiver, buffer, sizeof buffer, 0)) > 0;)
                    f->received += static_cast<quint64>(n);
                if (f->keepalive >= 0)
                    ::send(f->keepalive, "k", 1, 0);
            }
            if (published != nullptr && timer.elapsed() - sampled >= 100) {
                sampled = timer.elapsed(), ++samples;
                m_client.poll();
                for (int app = 0; app < 2; ++app) {
                    AppInfo info{};
                    m_client.getApplication(m_ids[app], info);
                    sums[app] += (upload ? info.uploadSpeed : info.downloadSpeed) / 1000.0;
                }
            }
            pollfd fds[2] = {{flows[0]->receiver, POLLIN, 0}, {flows[1]->receiver, POLLIN, 0}};
            ::poll(fds, 2, 1);
        }
        const double elapsed = timer.elapsed() / 1000.0;
        if (published != nullptr)
            *published = {sums[0] / samples, sums[1] / samples};
        return {(flows[0]->received - start[0]) * 8e-6 / elapsed, (flows[1]->received - start[1]) * 8e-6 / elapsed};
    }

    void choose(bool active, std::uint32_t first, std::uint32_t second)
    {
        for (int app = 0; app < 2; ++app) {
            AppInfo info{};
            QVERIFY(m_client.getApplication(m_ids[app], info) == 0);
            info.priority = app == 0 ? first : second;
            QCOMPARE(m_client.controlCenterModifyApplication(info), 0);
        }
        QCOMPARE(m_client.controlCenterSetParameter(kParameterRequestedActive, active ? 1 : 0), 0);
        QVERIFY(m_service->waitForLine(QString("took parameter 0 (requested active state) value %1").arg(active ? 1 : 0), 15000));
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            skip("needs root: network namespaces, cgroups, nftables and tc");
        QString mount;
        if (!sh("findmnt -n -t cgroup2 -o TARGET | head -1", &mount) || mount.trimmed().isEmpty())
            skip("no cgroup v2 hierarchy is mounted");
        g_mount = mount.trimmed();
        m_cgroups = g_mount + "/kxtest-" + kId;
        if (!sh(QString("ip netns add %1 && ip netns add %2 && ip link add kx0 netns %1 type veth peer name kx1 netns %2")
                    .arg(kLan, kWan)))
            skip("cannot create network namespaces joined by a veth pair");
        for (const QString& ns : {kLan, kWan})
            QVERIFY(sh(QString("ip -n %1 link set lo up && ip -n %1 link set kx%2 up && ip -n %1 addr add 198.18.0.%3/24 dev kx%2"
                               " && ip -n %1 addr add 2001:db8:18::%3/64 dev kx%2 nodad").arg(ns).arg(ns == kWan).arg(1 + (ns == kWan))));
        for (int app = 0; app < 2; ++app) {
            m_apps[app] = m_cgroups + QString("/app-kxtest-org.kestrix.%1-%2.scope").arg(app == 0 ? "First" : "Second").arg(kId);
            QVERIFY(QDir().mkpath(m_apps[app]));
            // A process keeps the application's cgroup populated.
            m_sleepers[app] = ::fork();
            if (m_sleepers[app] == 0)
                ::execl("/bin/sleep", "sleep", "300", nullptr), ::_exit(1);
            QVERIFY(sh(QString("echo %1 > '%2/cgroup.procs'").arg(m_sleepers[app]).arg(m_apps[app])));
        }
        QVERIFY(sh(QString("printf '41 3 0 app:org.kestrix.First\\n7 3 0 app:org.kestrix.Second\\n' > %1/applications").arg(m_state.path())));
        m_arguments = QStringList{"--net=/run/netns/" + kLan, KESTRIX_SERVICE, "--backend", "linux", "--interface", "kx0", "--cgroup-root",
                                  m_cgroups, "--state-dir", m_state.path(), "--icon-dir", m_state.path(), "--heartbeat-ms", "50"};
        m_service = std::make_unique<PeerProcess>("nsenter", m_dir, m_arguments + QStringList{"--down-limit", "10000", "--up-limit", "10000"});
        QString line;
        if (m_service->waitForLineStartingWith("kestrix-service: ", 15000, &line) && line.contains("the kernel lacks"))
            skip(line);
        QVERIFY2(line.contains("linux backend on kx0"), qPrintable(line));
        m_client.setObjectDirectory(m_dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(m_client.vlcommRegister(&m_mirror) == 0 && m_client.poll() == 0, 15000);
        AppInfo info{};   // with the ids kept in the state folder
        QTRY_VERIFY_WITH_TIMEOUT(m_client.poll() == 0 && m_client.getApplication(m_ids[0], info) == 0
                                     && m_client.getApplication(m_ids[1], info) == 0, 15000);
    }

    // Critical against low, on and off, both directions, IPv4 and IPv6, TCP and UDP.
    void sharesFollowPriorities_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<bool>("udp");
        QTest::addColumn<bool>("v6");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("swap");   // then a priority change while the traffic runs swaps the shares within a second
        QTest::newRow("upload, TCP") << true << false << false << true << true;
        QTest::newRow("download, TCP") << false << false << false << true << true;
        QTest::newRow("upload, IPv6") << true << false << true << true << false;
        QTest::newRow("download, UDP over IPv6") << false << true << true << true << false;
        QTest::newRow("upload, UDP") << true << true << false << true << false;
        QTest::newRow("upload, off") << true << false << false << false << false;
        QTest::newRow("download, off") << false << false << false << false << false;
    }

    void sharesFollowPriorities()
    {
        QFETCH(bool, upload);
        QFETCH(bool, udp);
        QFETCH(bool, v6);
        QFETCH(bool, active);
        QFETCH(bool, swap);
        choose(active, 1, 4);
        std::vector<std::unique_ptr<Flow>> flows;
        for (int app = 0; app < 2; ++app)
            flows.push_back(flow(app, upload, udp, v6));
        QVERIFY(flows[0]->sender >= 0 && flows[1]->sender >= 0);
        pump(flows, 2, upload);   // the queues fill, the first published second passes
        QList<double> published;
        const QList<double> got = pump(flows, 4, upload, &published);
        const double total = got[0] + got[1];
        const QString figures = QString("received %1 / %2 Mbit/s, published %3 / %4").arg(got[0]).arg(got[1]).arg(published[0]).arg(published[1]);
        qInfo("%s", qPrintable(figures));
        QVERIFY2(total > 8 && total < 11, qPrintable(figures));
        // Speeds match the bytes that arrived, summed and for every application above 2 Mbit/s
        // (a squeezed upload also counts what the shaper drops and TCP sends again).
        for (int app = 0; app < 3; ++app) {
            const double sent = app < 2 ? got[app] : total, shown = app < 2 ? published[app] : published[0] + published[1];
            QVERIFY2(sent < 2 || qAbs(shown - sent) <= 0.15 * sent, qPrintable(figures));
        }
        QVERIFY2(active ? got[0] >= 0.75 * total && got[1] <= 0.15 * total : got[0] >= 0.35 * total && got[0] <= 0.65 * total,
                 qPrintable(figures));
        if (swap) {
            choose(true, 4, 1);
            pump(flows, 1, upload);
            const QList<double> swapped = pump(flows, 1, upload);
            QVERIFY2(swapped[1] >= 0.75 * (swapped[0] + swapped[1]), qPrintable(QString("%1 / %2").arg(swapped[0]).arg(swapped[1])));
        }
    }

    // A DNS answer names the address; traffic to it is the site's.
    void sitesFromDnsAnswers()
    {
        const int server = make(kWan, {}, [] {
            const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            const sockaddr_in6 any = address("::", 53);
            return ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0 ? fd : -1;
        });
        const sockaddr_in6 dns = address("::ffff:198.18.0.2", 53);
        const int client = make(kLan, m_apps[0], [&] { return ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0); });
        QVERIFY(server >= 0 && ::sendto(client, "\x12\x34", 2, 0, reinterpret_cast<const sockaddr*>(&dns), sizeof dns) == 2);
        sockaddr_in6 from{};
        socklen_t length = sizeof from;
        char query[64];
        QCOMPARE(::recvfrom(server, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &length), ssize_t(2));
        const QByteArray answer = QByteArray::fromHex("12348180000100010000000003777777076b657374726978076578616d706c650000010001"
                                                      "c00c000100010000012c0004c6120002");   // www.kestrix.example A 198.18.0.2
        QCOMPARE(::sendto(server, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length), ssize_t(answer.size()));
        ::close(server), ::close(client);
        std::vector<std::unique_ptr<Flow>> flows;
        for (int app = 0; app < 2; ++app)
            flows.push_back(flow(app, true, false, false));
        SiteInfo site{};
        QElapsedTimer timer;
        for (timer.start(); timer.elapsed() < 15000 && !(textFromField(site.name) == u"kestrix.example" && site.uploadSpeed > 5000);) {
            std::vector<std::uint32_t> ids;
            pump(flows, 0.2, true), m_client.poll(), m_client.listSiteIds(ids);
            ids.size() == 1 ? m_client.getSite(ids[0], site) : 0;
        }
        QVERIFY2(site.uploadSpeed > 5000, qPrintable(QString::fromStdU16String(textFromField(site.name)) + " " + QString::number(site.uploadSpeed)));
    }

    // Killed, it leaves its tables; the next start clears them and takes up the limits it kept.
    void aCrashIsClearedAtTheNextStart()
    {
        QString left;
        QVERIFY(m_service->kill() && sh(QString("nsenter --net=/run/netns/%1 nft list tables").arg(kLan), &left) && left.contains("kestrix"));
        m_service = std::make_unique<PeerProcess>("nsenter", m_dir, m_arguments);
        QVERIFY(m_service->waitForLineStartingWith("kestrix-service: linux backend on kx0", 15000));
        std::uint32_t limit = 0;
        QTRY_VERIFY_WITH_TIMEOUT(m_client.poll() == 0 && m_client.controlCenterGetParameter(kParameterDownloadLimit, limit) == 0 && limit == 10000, 15000);
    }

    void cleanupTestCase()
    {
        if (m_service) {
            QVERIFY(m_service->terminate());
            QString left;
            sh(QString("nsenter --net=/run/netns/%1 sh -c 'nft list tables; tc qdisc show | grep -v noqueue; ip link | grep kxifb'").arg(kLan), &left);
            QVERIFY2(left.trimmed().isEmpty(), qPrintable(left));   // nothing of the service remains
        }
        for (int pid : m_sleepers)
            pid > 0 ? (void)::kill(pid, SIGKILL), (void)::waitpid(pid, nullptr, 0) : (void)0;
        sh(QString("ip netns del %1; ip netns del %2; rmdir '%3'/*/ '%3'").arg(kLan, kWan, m_cgroups));
    }
};

QTEST_GUILESS_MAIN(TestLinuxShaping)
#include "tst_linuxshaping.moc"
