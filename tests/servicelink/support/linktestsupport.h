#pragma once

// Shared fixtures for the service-link tests: a private object directory,
// raw access to region files (the tests play a service byte by byte), a
// callback that records every report in order, a steppable tick, and a log
// capture.

#include "servicelink/callback.h"
#include "servicelink/objectnames.h"
#include "servicelink/records.h"
#include "servicelink/velcomm.h"

#include "platform/log.h"
#include "platform/privatedirectory.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace linktest {

using namespace servicelink;

std::u16string u16(const char* text);
std::string utf8(const std::u16string& text);

AppInfo makeApp(std::uint32_t id, const char* name, std::uint32_t priority = 4);
SiteInfo makeSite(std::uint32_t id, const char* name, std::uint32_t priority = 4);

template <typename Payload>
TableRecord<Payload> record(std::uint64_t sequence, std::uint32_t id, const Payload& payload)
{
    TableRecord<Payload> result{};
    result.sequence = sequence;
    result.id = id;
    result.payload = payload;
    return result;
}

ParameterRecord parameter(std::uint64_t sequence, std::uint32_t id, std::uint32_t value);
StringRecord string(std::uint64_t sequence, std::uint32_t id, const char* text);
AppRecord app(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority = 4);
SiteRecord site(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority = 4);

// A private object directory; removed with everything in it at the end.
class ObjectDir : public platform::PrivateDirectory {
public:
    ObjectDir() : PrivateDirectory("kestrix-test") {}
};

// A region file seen through plain file I/O, as a peer process would.
class RegionFile {
public:
    RegionFile(const ObjectDir& dir, const char* name) : m_path(dir.pathOf(name)) {}

    // Creates (or empties) the file with a zero header.
    void create(unsigned mode = 0600) const;
    RegionHeader header() const;
    void writeHeader(const RegionHeader& header) const;
    void truncate(std::uint64_t size) const;
    std::uint64_t size() const;
    const std::string& path() const { return m_path; }

    // Writes the records from offset 16, then the header. count defaults to
    // the number of records.
    template <typename Payload>
    void writeTable(std::uint64_t generation, std::uint32_t epoch,
                    const std::vector<TableRecord<Payload>>& records, long count = -1) const
    {
        writeBytes(sizeof(RegionHeader), records.data(), records.size() * sizeof(TableRecord<Payload>));
        RegionHeader header;
        header.generation = generation;
        header.epoch = epoch;
        header.count = count < 0 ? static_cast<std::uint32_t>(records.size())
                                 : static_cast<std::uint32_t>(count);
        writeHeader(header);
    }

    template <typename Payload>
    std::vector<TableRecord<Payload>> readTable() const
    {
        const RegionHeader head = header();
        std::vector<TableRecord<Payload>> records(head.count);
        readBytes(sizeof(RegionHeader), records.data(), records.size() * sizeof(TableRecord<Payload>));
        return records;
    }

    void writeBytes(std::uint64_t offset, const void* data, std::size_t size) const;
    void readBytes(std::uint64_t offset, void* data, std::size_t size) const;

private:
    std::string m_path;
};

// The four region files of one object directory.
struct ServiceFiles {
    explicit ServiceFiles(const ObjectDir& dir)
        : apps(dir, kAppRegionName)
        , sites(dir, kSiteRegionName)
        , parameters(dir, kParameterRegionName)
        , strings(dir, kStringRegionName)
    {
    }
    void createAll() const;

    RegionFile apps;
    RegionFile sites;
    RegionFile parameters;
    RegionFile strings;
};

// Records every report as one line, in order ("appAdd 7 firefox p4 pin0").
class RecordingCallback : public Callback {
public:
    virtual ~RecordingCallback() = default;   // tests hold some in shared pointers
    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                      bool heartbeat) override;
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onParameterRemoved(std::uint32_t id) override;
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override;
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override;
    std::int32_t onStringRemoved(std::uint32_t id) override;
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override;
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override;
    std::int32_t onAppRemoved(std::uint32_t id) override;
    std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info) override;
    std::int32_t onSiteAdd(std::uint32_t id, const SiteInfo& info) override;
    std::int32_t onSiteRemoved(std::uint32_t id) override;

    // Returns and forgets what was recorded.
    QStringList take();

    QStringList events;
    AppInfo lastApp{};
    SiteInfo lastSite{};
    std::u16string lastText;
};

// A tick the test sets by hand.
struct ManualTick {
    std::uint32_t now = 1000;
    static std::uint32_t read(void* context) { return static_cast<ManualTick*>(context)->now; }
};

// Lowers this process's file size limit for a scope, so that growing a
// region fails (EFBIG) as it would on a full /dev/shm.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long m_savedSoft = 0;
    void (*m_oldHandler)(int) = nullptr;
};

// Collects the link's log lines while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines;
    int count(const QString& fragment) const;

private:
    platform::LogSink m_previous;
};

// Another program started in the test's object directory (KESTRIX_IPC_DIR),
// read line by line from its stdout; its stderr goes to the test's. Killed,
// if still running, when the test is done with it. Every wait is bounded.
class PeerProcess {
public:
    PeerProcess(const QString& program, const ObjectDir& dir, const QStringList& arguments,
                const QProcessEnvironment& extra = QProcessEnvironment());
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // The next line not yet returned, or a null string when none comes within
    // timeoutMs (or the process ended without one).
    QString nextLine(int timeoutMs);
    // Skips lines up to and including the first one equal to expected.
    bool waitForLine(const QString& expected, int timeoutMs);
    // Skips lines up to and including the first one starting with prefix.
    bool waitForLineStartingWith(const QString& prefix, int timeoutMs, QString* found = nullptr);
    // Skips lines up to and including the first one containing fragment.
    bool waitForLineContaining(const QString& fragment, int timeoutMs, QString* found = nullptr);

    bool writeLine(const QByteArray& line);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool finishes(int timeoutMs);
    // Ended by itself with exit code 0.
    bool endedCleanly() const;
    int exitCode() const { return m_process.exitCode(); }
    // SIGKILL / SIGTERM, and wait for the end.
    bool kill();
    bool terminate();
    // Every line read so far.
    QStringList lines();

    static constexpr int kPromptMs = 5000;

private:
    bool nextLineMatching(const std::function<bool(const QString&)>& matches, int timeoutMs,
                          QString* found);
    void readAvailable();

    QProcess m_process;
    QStringList m_lines;
    int m_next = 0;
    QByteArray m_partial;
};

} // namespace linktest
