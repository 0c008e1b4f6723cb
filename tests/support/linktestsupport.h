#pragma once

// For the tests that run a link: a private object directory, region files
// written byte by byte as a service writes them, a callback that records
// every report as one line, and another program read line by line.

#include "servicelink/callback.h"
#include "servicelink/objectnames.h"
#include "servicelink/protocol.h"
#include "servicelink/records.h"
#include "servicelink/velcomm.h"

#include "platform/log.h"
#include "platform/privatedirectory.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace linktest {

using namespace servicelink;

inline std::u16string u16(const char* text) { return QString::fromUtf8(text).toStdU16String(); }

// An application or site: id, name, priority, the rest as a default record.
template <typename Info>
Info makeInfo(std::uint32_t id, const char* name, std::uint32_t priority)
{
    Info info{};
    info.id = id, info.priority = priority;
    textToField(info.name, u16(name));
    return info;
}
inline AppInfo makeApp(std::uint32_t id, const char* name, std::uint32_t priority = 4) { return makeInfo<AppInfo>(id, name, priority); }
inline SiteInfo makeSite(std::uint32_t id, const char* name, std::uint32_t priority = 4) { return makeInfo<SiteInfo>(id, name, priority); }

// Table records as a service writes them.
template <typename Payload>
TableRecord<Payload> record(std::uint64_t sequence, std::uint32_t id, const Payload& payload)
{
    return TableRecord<Payload>{sequence, 0, id, payload};
}
inline ParameterRecord parameter(std::uint64_t sequence, std::uint32_t id, std::uint32_t value) { return record(sequence, id, ParameterValue{value}); }
inline StringRecord string(std::uint64_t sequence, std::uint32_t id, const char* text)
{
    VlString payload{};
    textToField(payload.text, u16(text));
    return record(sequence, id, payload);
}
inline AppRecord app(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority = 4) { return record(sequence, id, makeApp(id, name, priority)); }
inline SiteRecord site(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority = 4) { return record(sequence, id, makeSite(id, name, priority)); }

struct ObjectDir : platform::PrivateDirectory {
    ObjectDir() : PrivateDirectory("kestrix-test") {}
};

// A region file seen through plain file I/O, as a peer process sees it.
class RegionFile {
public:
    RegionFile(const ObjectDir& dir, const char* name) : m_path(dir.pathOf(name)) {}
    void create(unsigned mode = 0600) const;   // (re)creates it with a zero header
    RegionHeader header() const;
    void truncate(std::uint64_t size) const;
    std::uint64_t size() const;
    const std::string& path() const { return m_path; }
    void writeBytes(std::uint64_t offset, const void* data, std::size_t size) const { io(offset, const_cast<void*>(data), size, true); }
    void readBytes(std::uint64_t offset, void* data, std::size_t size) const { io(offset, data, size, false); }

    // The records from offset 16, then the header; count defaults to the records'.
    template <typename Payload>
    void writeTable(std::uint64_t generation, std::uint32_t epoch, const std::vector<TableRecord<Payload>>& records,
                    long count = -1) const
    {
        writeBytes(sizeof(RegionHeader), records.data(), records.size() * sizeof(TableRecord<Payload>));
        const RegionHeader header{generation, static_cast<std::uint32_t>(count < 0 ? long(records.size()) : count), epoch};
        writeBytes(0, &header, sizeof header);
    }
    template <typename Payload>
    std::vector<TableRecord<Payload>> readTable() const
    {
        std::vector<TableRecord<Payload>> records(header().count);
        readBytes(sizeof(RegionHeader), records.data(), records.size() * sizeof(TableRecord<Payload>));
        return records;
    }

private:
    void io(std::uint64_t offset, void* data, std::size_t size, bool write) const;
    std::string m_path;
};

// The four region files of one object directory.
struct ServiceFiles {
    explicit ServiceFiles(const ObjectDir& dir)
        : apps(dir, kAppRegionName), sites(dir, kSiteRegionName), parameters(dir, kParameterRegionName), strings(dir, kStringRegionName) {}
    void createAll() const { for (const RegionFile* file : {&apps, &sites, &parameters, &strings}) file->create(); }
    RegionFile apps, sites, parameters, strings;
};

// Records every report as one line, in order ("appAdd 7 firefox p4 pin0 down0 up0").
class RecordingCallback : public Callback {
public:
    virtual ~RecordingCallback() = default;
    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual, bool alive) override { return note("active", requested, actual, alive ? 1u : 0u); }
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override { return note("paramChanged", id, value); }
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override { return note("paramAdd", id, value); }
    std::int32_t onParameterRemoved(std::uint32_t id) override { return note("paramRemoved", id); }
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override { return note("stringChanged", id, text); }
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override { return note("stringAdd", id, text); }
    std::int32_t onStringRemoved(std::uint32_t id) override { return note("stringRemoved", id); }
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override { return note("appChanged", id, info); }
    std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info) override { return note("appAdd", id, info); }
    std::int32_t onAppRemoved(std::uint32_t id) override { return note("appRemoved", id); }
    std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info) override { return note("siteChanged", id, info); }
    std::int32_t onSiteAdd(std::uint32_t id, const SiteInfo& info) override { return note("siteAdd", id, info); }
    std::int32_t onSiteRemoved(std::uint32_t id) override { return note("siteRemoved", id); }

    // Returns and forgets what was recorded.
    QStringList take() { return std::exchange(events, {}); }
    QStringList events;
    std::function<void(const QString& event)> hook;   // called after each report is recorded

private:
    static QString text(std::uint32_t value) { return QString::number(value); }
    static QString text(const std::u16string& value) { return QString::fromStdU16String(value); }
    template <typename Info>
    static QString text(const Info& info)
    {
        return QStringLiteral("%1 p%2 pin%3 down%4 up%5").arg(text(textFromField(info.name))).arg(info.priority)
            .arg(info.isPinned).arg(info.downloadSpeed).arg(info.uploadSpeed);
    }
    template <typename... Items>
    std::int32_t note(const char* what, const Items&... items)
    {
        events << (QStringList{QLatin1String(what)} << ... << text(items)).join(QLatin1Char(' '));
        if (hook)
            hook(events.last());
        return 0;
    }
};

// Collects the link's log lines while alive.
struct LogCapture {
    LogCapture() : previous(platform::setLogSink([this](const std::string& line) { lines << QString::fromStdString(line); })) {}
    ~LogCapture() { platform::setLogSink(previous); }
    int count(const QString& fragment) const { return lines.filter(fragment).size(); }
    QStringList lines;
    platform::LogSink previous;
};

// Another program started in the object directory (KESTRIX_IPC_DIR), read
// line by line from its stdout; its stderr goes to the test's. Killed when
// the test is done with it. Every wait is bounded.
class PeerProcess {
public:
    PeerProcess(const QString& program, const ObjectDir& dir, const QStringList& arguments,
                const QProcessEnvironment& extra = QProcessEnvironment());
    ~PeerProcess() { kill(); }

    // Skip lines up to and including the first one equal to (starting with) the text.
    bool waitForLine(const QString& expected, int timeoutMs) { return nextLineMatching(expected, timeoutMs, false, nullptr); }
    bool waitForLineStartingWith(const QString& prefix, int timeoutMs, QString* found = nullptr) { return nextLineMatching(prefix, timeoutMs, true, found); }
    bool writeLine(const QByteArray& line) { return m_process.write(line + '\n') > 0 && m_process.waitForBytesWritten(5000); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool finishes(int timeoutMs) { return !isRunning() || m_process.waitForFinished(timeoutMs); }
    // Ended by itself with exit code 0.
    bool endedCleanly() const { return !isRunning() && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0; }
    int exitCode() const { return m_process.exitCode(); }
    // SIGKILL or SIGTERM, and wait for the end.
    bool kill()
    {
        if (isRunning())
            m_process.kill();
        return finishes(5000);
    }
    bool terminate()
    {
        m_process.terminate();
        return finishes(5000);
    }
    // Every line read so far.
    QStringList lines()
    {
        nextLineMatching(QString(), 0, false, nullptr);
        return m_lines;
    }

private:
    // Reads what the program wrote; with a non-null @p text, waits for a line it matches.
    bool nextLineMatching(const QString& text, int timeoutMs, bool prefix, QString* found);

    QProcess m_process;
    QStringList m_lines;
    int m_next = 0;
    QByteArray m_partial;
};

} // namespace linktest
