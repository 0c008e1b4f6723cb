// The platform layer under the link: which files a peer accepts as its
// objects, and the SIGBUS guard. (The mutex and the events are tested
// between processes, in tst_crossprocess.)

#include "linktestsupport.h"

#include "platform/faultguard.h"
#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/namedobject.h"
#include "platform/sharedregion.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace linktest;

namespace {

enum Kind { kRegion, kMutex, kEvent };
constexpr int kNobody = 65534;

// Opens the object at @p path as the link does; the reason of a refusal, or empty.
std::string open(int kind, const std::string& path)
{
    std::string why;
    const bool opened = kind == kRegion  ? platform::SharedRegion::open(path, why).isValid()
                        : kind == kMutex ? platform::NamedMutex::openOrCreate(path, why).isValid()
                                         : platform::NamedEvent::openOrCreate(path, why).isValid();
    return opened ? std::string() : why;
}

// The same from a child process running as another user (uid and gid 65534).
std::string openAsAnotherUser(int kind, const std::string& path)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return "pipe failed";
    if (const pid_t child = ::fork(); child == 0) {
        const std::string why = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 ? open(kind, path) : "setuid failed";
        ::_exit(::write(channel[1], why.data(), why.size()) < 0 ? 1 : 0);
    }
    ::close(channel[1]);
    char text[512];
    const ssize_t got = ::read(channel[0], text, sizeof text);
    ::close(channel[0]);
    ::wait(nullptr);
    return std::string(text, got > 0 ? std::size_t(got) : 0);
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void objectsAreFilesNamedAfterThemInTheChosenDirectory()
    {
        QCOMPARE(platform::objectPath("/d", kAppRegionName), std::string("/d/Global\\MEM{EDDD0FE0-42EB-4050-A235-47EBDEEEE7C0}"));
        QCOMPARE(platform::objectPath("/d/", kLinkMutexName), std::string("/d/MUTEX{0EE62FA0-DF34-4523-B32E-94003BB1D8CD}"));
        ObjectDir system;   // stands for /run/kestrix
        QCOMPARE(platform::chooseObjectDirectory("/elsewhere", system.path()), std::string("/elsewhere"));
        QCOMPARE(platform::chooseObjectDirectory("", system.path()), system.path());   // an installed service's
        QCOMPARE(platform::chooseObjectDirectory(nullptr, system.pathOf("absent")), std::string("/dev/shm"));
    }

    void refusesObjectsItCannotTrust_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("defect");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<int>("owner");         // -1: the test's user; 0: root's, opened by another user
        QTest::addColumn<QString>("refusal");   // empty: accepted
        const char* names[] = {"region", "mutex", "event"};
        for (int kind : {kRegion, kMutex, kEvent}) {
            const auto row = [&](const char* defect) { return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(names[kind], defect))); };
            *row("a symbolic link") << kind << "a symbolic link" << 0600u << -1 << "a symbolic link";
            *row("of the wrong type") << kind << "of the wrong type" << 0600u << -1 << (kind == kEvent ? "not a FIFO" : "not a regular file");
            *row("writable by others") << kind << "" << 0602u << -1 << "writable by others";
            *row("group-writable") << kind << "" << 0660u << -1 << "";
            *row("another user's") << kind << "" << 0600u << kNobody << "owned by uid 65534";
            *row("root's, shared with a group") << kind << "" << 0660u << 0 << "";
            *row("root's, writable by others") << kind << "" << 0662u << 0 << "writable by others";
            if (kind == kRegion)
                *row("shorter than a header") << kind << "shorter than a header" << 0600u << -1 << "shorter than a region header";
        }
    }

    void refusesObjectsItCannotTrust()
    {
        QFETCH(int, kind);
        QFETCH(QString, defect);
        QFETCH(unsigned, mode);
        QFETCH(int, owner);
        QFETCH(QString, refusal);
        if (owner >= 0 && ::geteuid() != 0)
            QSKIP("needs root to give files to another user");
        ObjectDir dir;
        const std::string path = dir.pathOf("object");
        const std::string made = defect == "a symbolic link" ? dir.pathOf("target") : path;
        if ((kind == kEvent) != (defect == "of the wrong type"))
            QCOMPARE(::mkfifo(made.c_str(), 0600), 0);
        else
            RegionFile(dir, made == path ? "object" : "target").create();
        QCOMPARE(::chmod(made.c_str(), mode), 0);
        if (owner >= 0)
            QCOMPARE(::chown(made.c_str(), owner, kNobody), 0);
        QCOMPARE(::chmod(dir.path().c_str(), 0711), 0);   // another user may look in
        if (made != path)
            QCOMPARE(::symlink(made.c_str(), path.c_str()), 0);
        if (defect == "shorter than a header")
            RegionFile(dir, "object").truncate(15);
        const std::string why = owner == 0 ? openAsAnotherUser(kind, path) : open(kind, path);
        QVERIFY2(why.empty() == refusal.isEmpty() && QString::fromStdString(why).contains(refusal), why.c_str());
    }

    void guardedAccessPastTheFileEndFailsInsteadOfCrashing()
    {
        ObjectDir dir;
        RegionFile file(dir, "r");
        file.create();
        std::string why;
        auto region = platform::SharedRegion::open(file.path(), why);
        QCOMPARE(region.commit(3 * 4096), 0);
        std::uint64_t value = 42;
        QVERIFY(platform::guardedWrite(region.base() + 2 * 4096, &value, sizeof value));
        file.truncate(16);   // the peer shrinks the file under us
        QVERIFY(!platform::guardedRead(&value, region.base() + 2 * 4096, sizeof value));
        QVERIFY(!platform::guardedWrite(region.base() + 2 * 4096, &value, sizeof value));
        RegionHeader header{};
        QVERIFY(platform::guardedRead(&header, region.base(), sizeof header));   // the guard recovers

        // A fault outside a guarded copy still ends the process (in a child).
        const pid_t child = ::fork();
        if (child == 0) {
            const int devNull = ::open("/dev/null", O_WRONLY);   // the crash report stays out of this log
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            volatile const std::uint8_t* beyond = region.base() + 8192;
            ::_exit(*beyond == 0 ? 0 : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(!(WIFEXITED(status) && WEXITSTATUS(status) == 0), "an unguarded SIGBUS must not be swallowed");
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
