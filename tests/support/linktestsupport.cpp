#include "linktestsupport.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linktest {

void RegionFile::create(unsigned mode) const
{
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    QVERIFY2(fd >= 0 && ::fchmod(fd, mode) == 0, m_path.c_str());
    ::close(fd);
    const RegionHeader empty{};
    writeBytes(0, &empty, sizeof empty);
}

RegionHeader RegionFile::header() const
{
    RegionHeader header{};
    readBytes(0, &header, sizeof header);
    return header;
}

void RegionFile::truncate(std::uint64_t size) const
{
    QCOMPARE(::truncate(m_path.c_str(), off_t(size)), 0);
}

std::uint64_t RegionFile::size() const
{
    struct stat info {};
    return ::stat(m_path.c_str(), &info) == 0 ? std::uint64_t(info.st_size) : 0;
}

void RegionFile::io(std::uint64_t offset, void* data, std::size_t size, bool write) const
{
    const platform::FileDescriptor fd(::open(m_path.c_str(), O_RDWR | O_CLOEXEC));
    const ssize_t done = write ? ::pwrite(fd.get(), data, size, off_t(offset)) : ::pread(fd.get(), data, size, off_t(offset));
    QVERIFY2(done == ssize_t(size), m_path.c_str());
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
    if (!m_process.waitForStarted(5000))
        qWarning("%s did not start: %s", qPrintable(program), qPrintable(m_process.errorString()));
}

bool PeerProcess::nextLineMatching(const QString& text, int timeoutMs, bool prefix, QString* found)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_partial += m_process.readAllStandardOutput();
        for (int end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1))
            m_lines << QString::fromUtf8(m_partial.left(end));
        while (!text.isNull() && m_next < m_lines.size()) {
            const QString& line = m_lines.at(m_next++);
            if (prefix ? line.startsWith(text) : line == text) {
                if (found != nullptr)
                    *found = line;
                return true;
            }
        }
        if (text.isNull() || !isRunning() || deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

} // namespace linktest
