#include "linktestsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linktest {

std::u16string u16(const char* text)
{
    return QString::fromUtf8(text).toStdU16String();
}

std::string utf8(const std::u16string& text)
{
    return QString::fromStdU16String(text).toStdString();
}

AppInfo makeApp(std::uint32_t id, const char* name, std::uint32_t priority)
{
    AppInfo info{};
    info.id = id;
    info.priority = priority;
    textToField(info.name, u16(name));
    return info;
}

SiteInfo makeSite(std::uint32_t id, const char* name, std::uint32_t priority)
{
    SiteInfo info{};
    info.id = id;
    info.priority = priority;
    textToField(info.name, u16(name));
    return info;
}

ParameterRecord parameter(std::uint64_t sequence, std::uint32_t id, std::uint32_t value)
{
    ParameterValue payload;
    payload.value = value;
    return record(sequence, id, payload);
}

StringRecord string(std::uint64_t sequence, std::uint32_t id, const char* text)
{
    VlString payload{};
    textToField(payload.text, u16(text));
    return record(sequence, id, payload);
}

AppRecord app(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority)
{
    return record(sequence, id, makeApp(id, name, priority));
}

SiteRecord site(std::uint64_t sequence, std::uint32_t id, const char* name, std::uint32_t priority)
{
    return record(sequence, id, makeSite(id, name, priority));
}

void RegionFile::create(unsigned mode) const
{
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    QVERIFY2(fd >= 0, m_path.c_str());
    ::fchmod(fd, mode);
    const RegionHeader header{};
    QCOMPARE(::pwrite(fd, &header, sizeof header, 0), static_cast<ssize_t>(sizeof header));
    ::close(fd);
}

RegionHeader RegionFile::header() const
{
    RegionHeader header{};
    readBytes(0, &header, sizeof header);
    return header;
}

void RegionFile::writeHeader(const RegionHeader& header) const
{
    writeBytes(0, &header, sizeof header);
}

void RegionFile::truncate(std::uint64_t size) const
{
    QCOMPARE(::truncate(m_path.c_str(), static_cast<off_t>(size)), 0);
}

std::uint64_t RegionFile::size() const
{
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

void RegionFile::writeBytes(std::uint64_t offset, const void* data, std::size_t size) const
{
    if (size == 0)
        return;
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC);
    QVERIFY2(fd >= 0, m_path.c_str());
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    ::close(fd);
    QCOMPARE(written, static_cast<ssize_t>(size));
}

void RegionFile::readBytes(std::uint64_t offset, void* data, std::size_t size) const
{
    if (size == 0)
        return;
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    QVERIFY2(fd >= 0, m_path.c_str());
    const ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
    ::close(fd);
    QCOMPARE(got, static_cast<ssize_t>(size));
}

void ServiceFiles::createAll() const
{
    apps.create();
    sites.create();
    parameters.create();
    strings.create();
}

namespace {

QString text(const std::u16string& value)
{
    return QString::fromStdU16String(value);
}

QString describe(const char* what, std::uint32_t id, const AppInfo& info)
{
    return QStringLiteral("%1 %2 %3 p%4 pin%5 down%6 up%7")
        .arg(QLatin1String(what))
        .arg(id)
        .arg(text(textFromField(info.name)))
        .arg(info.priority)
        .arg(info.isPinned)
        .arg(info.downloadSpeed)
        .arg(info.uploadSpeed);
}

QString describe(const char* what, std::uint32_t id, const SiteInfo& info)
{
    return QStringLiteral("%1 %2 %3 p%4 pin%5 down%6 up%7")
        .arg(QLatin1String(what))
        .arg(id)
        .arg(text(textFromField(info.name)))
        .arg(info.priority)
        .arg(info.isPinned)
        .arg(info.downloadSpeed)
        .arg(info.uploadSpeed);
}

} // namespace

std::int32_t RecordingCallback::onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                                     bool heartbeat)
{
    events << QStringLiteral("active %1 %2 %3").arg(requested).arg(actual).arg(heartbeat ? 1 : 0);
    return 0;
}

std::int32_t RecordingCallback::onParameterChanged(std::uint32_t id, std::uint32_t value)
{
    events << QStringLiteral("paramChanged %1 %2").arg(id).arg(value);
    return 0;
}

std::int32_t RecordingCallback::onParameterAdd(std::uint32_t id, std::uint32_t value)
{
    events << QStringLiteral("paramAdd %1 %2").arg(id).arg(value);
    return 0;
}

std::int32_t RecordingCallback::onParameterRemoved(std::uint32_t id)
{
    events << QStringLiteral("paramRemoved %1").arg(id);
    return 0;
}

std::int32_t RecordingCallback::onStringChanged(std::uint32_t id, const std::u16string& value)
{
    lastText = value;
    events << QStringLiteral("stringChanged %1 %2").arg(id).arg(text(value));
    return 0;
}

std::int32_t RecordingCallback::onStringAdd(std::uint32_t id, const std::u16string& value)
{
    lastText = value;
    events << QStringLiteral("stringAdd %1 %2").arg(id).arg(text(value));
    return 0;
}

std::int32_t RecordingCallback::onStringRemoved(std::uint32_t id)
{
    events << QStringLiteral("stringRemoved %1").arg(id);
    return 0;
}

std::int32_t RecordingCallback::onAppChanged(std::uint32_t id, const AppInfo& info)
{
    lastApp = info;
    events << describe("appChanged", id, info);
    return 0;
}

std::int32_t RecordingCallback::onAppAdd(std::uint32_t id, const AppInfo& info)
{
    lastApp = info;
    events << describe("appAdd", id, info);
    return 0;
}

std::int32_t RecordingCallback::onAppRemoved(std::uint32_t id)
{
    events << QStringLiteral("appRemoved %1").arg(id);
    return 0;
}

std::int32_t RecordingCallback::onSiteChanged(std::uint32_t id, const SiteInfo& info)
{
    lastSite = info;
    events << describe("siteChanged", id, info);
    return 0;
}

std::int32_t RecordingCallback::onSiteAdd(std::uint32_t id, const SiteInfo& info)
{
    lastSite = info;
    events << describe("siteAdd", id, info);
    return 0;
}

std::int32_t RecordingCallback::onSiteRemoved(std::uint32_t id)
{
    events << QStringLiteral("siteRemoved %1").arg(id);
    return 0;
}

QStringList RecordingCallback::take()
{
    QStringList taken;
    taken.swap(events);
    return taken;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_savedSoft = limit.rlim_cur;
    // Growing past the limit raises SIGXFSZ; the call should just fail.
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_savedSoft;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_oldHandler);
}

LogCapture::LogCapture()
{
    m_previous = platform::setLogSink([this](const std::string& line) {
        lines << QString::fromStdString(line);
    });
}

LogCapture::~LogCapture()
{
    platform::setLogSink(m_previous);
}

int LogCapture::count(const QString& fragment) const
{
    int matches = 0;
    for (const QString& line : lines) {
        if (line.contains(fragment))
            ++matches;
    }
    return matches;
}

PeerProcess::PeerProcess(const QString& program, const ObjectDir& dir, const QStringList& arguments,
                         const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KESTRIX_IPC_DIR"), QString::fromStdString(dir.path()));
    for (const QString& key : extra.keys())
        environment.insert(key, extra.value(key));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kPromptMs))
        qWarning("%s did not start: %s", qPrintable(program), qPrintable(m_process.errorString()));
}

PeerProcess::~PeerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kPromptMs);
    }
}

QString PeerProcess::nextLine(int timeoutMs)
{
    QString line;
    return nextLineMatching([](const QString&) { return true; }, timeoutMs, &line) ? line : QString();
}

bool PeerProcess::waitForLine(const QString& expected, int timeoutMs)
{
    return nextLineMatching([&](const QString& line) { return line == expected; }, timeoutMs, nullptr);
}

bool PeerProcess::waitForLineStartingWith(const QString& prefix, int timeoutMs, QString* found)
{
    return nextLineMatching([&](const QString& line) { return line.startsWith(prefix); }, timeoutMs,
                            found);
}

bool PeerProcess::waitForLineContaining(const QString& fragment, int timeoutMs, QString* found)
{
    return nextLineMatching([&](const QString& line) { return line.contains(fragment); }, timeoutMs,
                            found);
}

bool PeerProcess::writeLine(const QByteArray& line)
{
    m_process.write(line + '\n');
    return m_process.waitForBytesWritten(kPromptMs);
}

bool PeerProcess::finishes(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

bool PeerProcess::endedCleanly() const
{
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit
           && m_process.exitCode() == 0;
}

bool PeerProcess::kill()
{
    m_process.kill();
    return finishes(kPromptMs);
}

bool PeerProcess::terminate()
{
    m_process.terminate();
    return finishes(kPromptMs);
}

QStringList PeerProcess::lines()
{
    readAvailable();
    return m_lines;
}

bool PeerProcess::nextLineMatching(const std::function<bool(const QString&)>& matches, int timeoutMs,
                                   QString* found)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readAvailable();
        while (m_next < m_lines.size()) {
            const QString& line = m_lines.at(m_next++);
            if (matches(line)) {
                if (found != nullptr)
                    *found = line;
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

void PeerProcess::readAvailable()
{
    m_partial += m_process.readAllStandardOutput();
    int end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

} // namespace linktest
