#include "app/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString nativeSegmentKey(const QString& segmentKey)
{
    return InstanceGuard::userRuntimeDirectory() + QStringLiteral("/kestrix-") + segmentKey + QStringLiteral(".shm");
}

// The system semaphore names its key file after the temporary directory at
// construction; pointing that at the user's runtime directory for this one
// moment gives every user a semaphore of their own.
struct TempDirSwitch {
    QByteArray saved;
    bool had = false;
};

TempDirSwitch& tempDirSwitch()
{
    static TempDirSwitch state;
    return state;
}

const QString& withUserTempDir(const QString& lockKey)
{
    TempDirSwitch& state = tempDirSwitch();
    state.had = qEnvironmentVariableIsSet("TMPDIR");
    state.saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(InstanceGuard::userRuntimeDirectory()));
    return lockKey;
}

void restoreTempDir()
{
    const TempDirSwitch& state = tempDirSwitch();
    if (state.had)
        qputenv("TMPDIR", state.saved);
    else
        qunsetenv("TMPDIR");
}

} // namespace

QString InstanceGuard::deriveKey(const QString& key, const QString& suffix)
{
    QByteArray data = key.toUtf8();
    data.append(suffix.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

QString InstanceGuard::userRuntimeDirectory()
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QFileInfo info(directory);
    if (directory.isEmpty() || !info.isDir() || info.ownerId() != ::getuid()) {
        // No usable runtime directory: a private folder under the home.
        directory = QDir::homePath() + QStringLiteral("/.cache/kestrix-runtime");
        QDir().mkpath(directory);
        QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner);
    }
    return directory;
}

InstanceGuard::InstanceGuard(const QString& key)
    : m_key(key)
    , m_lockKey(deriveKey(key, QStringLiteral("_memLockKey")))
    , m_segmentKey(deriveKey(key, QStringLiteral("_sharedmemKey")))
    , m_lock(withUserTempDir(m_lockKey), 1, QSystemSemaphore::Open)
{
    restoreTempDir();
    m_segment.setNativeKey(nativeSegmentKey(m_segmentKey));
    m_lock.acquire();
    {
        // The key file must exist for the attach below to reach a leftover
        // segment: the System V key is made from the file's inode, and a
        // renewed runtime folder may hand a new key file the old inode.
        QFile keyFile(nativeSegmentKey(m_segmentKey));
        keyFile.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    {
        // Attaching and detaching a temporary handle removes a segment that
        // a killed instance left behind (no one attached any more).
        QSharedMemory stale;
        stale.setNativeKey(nativeSegmentKey(m_segmentKey));
        stale.attach();
    }
    m_lock.release();
}

InstanceGuard::~InstanceGuard()
{
    release();
}

bool InstanceGuard::isAnotherInstanceRunning()
{
    if (m_segment.isAttached())
        return false;
    m_lock.acquire();
    const bool running = m_segment.attach();
    if (running)
        m_segment.detach();
    m_lock.release();
    return running;
}

bool InstanceGuard::tryStart()
{
    if (isAnotherInstanceRunning())
        return false;
    m_lock.acquire();
    const bool created = m_segment.create(8);
    m_lock.release();
    if (!created) {
        release();
        return false;
    }
    return true;
}

void InstanceGuard::release()
{
    m_lock.acquire();
    if (m_segment.isAttached())
        m_segment.detach();
    m_lock.release();
}

QString InstanceGuard::restoreChannelName() const
{
    return userRuntimeDirectory() + QStringLiteral("/kestrix-") + m_segmentKey + QStringLiteral(".sock");
}
