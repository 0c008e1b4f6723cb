#pragma once

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

/// Makes sure one copy of the program runs per user: a named shared-memory
/// segment whose existence marks the running instance, and a named system
/// semaphore that orders the probes of processes starting at the same time.
///
/// The keys are SHA-1 digests of the application name and a suffix. On Unix
/// both objects live in a machine-wide namespace, so they are mapped to files
/// in the user's runtime directory: every user has an instance of their own.
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& key);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    /// True when this process is now the single instance.
    bool tryStart();
    bool isAnotherInstanceRunning();
    void release();

    /// SHA-1 of the UTF-8 key directly followed by the UTF-8 suffix, as 40
    /// lower-case hexadecimal characters.
    static QString deriveKey(const QString& key, const QString& suffix);

    /// The user's private directory for the guard's files and the restore
    /// channel: $XDG_RUNTIME_DIR, else a private folder of the user's.
    static QString userRuntimeDirectory();

    QString lockKey() const { return m_lockKey; }
    QString segmentKey() const { return m_segmentKey; }
    /// Where the running instance listens for the restore message.
    QString restoreChannelName() const;

private:
    QString m_key;
    QString m_lockKey;
    QString m_segmentKey;
    QSharedMemory m_segment;
    QSystemSemaphore m_lock;
};
