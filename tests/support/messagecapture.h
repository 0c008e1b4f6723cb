#pragma once

// Collects the Qt messages written while it lives, from any thread; messages
// of other types than the ones collected go on to the handler installed
// before. One capture at a time.

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

class MessageCapture {
public:
    /// Collects debug messages; with @p allTypes, warnings and errors too.
    explicit MessageCapture(bool allTypes = false)
    {
        const QMutexLocker lock(&s_lock);
        s_lines.clear();
        s_allTypes = allTypes;
        s_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() { qInstallMessageHandler(s_previous); }

    QStringList lines() const { const QMutexLocker lock(&s_lock); return s_lines; }
    /// How many collected lines contain @p fragment.
    int count(const QString& fragment) const { return lines().filter(fragment).size(); }
    void clear() { const QMutexLocker lock(&s_lock); s_lines.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        {
            const QMutexLocker lock(&s_lock);
            if (type == QtDebugMsg || s_allTypes) {
                s_lines << message;
                return;
            }
        }
        if (s_previous)
            s_previous(type, context, message);
    }

    static inline QMutex s_lock;
    static inline QStringList s_lines;
    static inline bool s_allTypes = false;
    static inline QtMessageHandler s_previous = nullptr;
};
