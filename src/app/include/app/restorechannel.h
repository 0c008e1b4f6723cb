#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class NativeEventFilter;

/// The way a second start reaches the running instance: a local socket in
/// the user's runtime directory. The running instance listens; a second
/// start sends the restore message number and waits until it was handled.
class RestoreServer : public QObject {
    Q_OBJECT

public:
    /// Listens on @p name and hands every message to @p filter. A socket left
    /// behind by a killed instance is removed once a connection to it is refused.
    RestoreServer(const QString& name, NativeEventFilter* filter, QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }

private:
    void onNewConnection();

    QLocalServer m_server;
    NativeEventFilter* m_filter;
};

namespace restorechannel {

/// The second start's side: sends @p message to the instance listening on
/// @p name and waits (at most @p timeoutMs) until it answers. False when no
/// instance listens. The wait is long: an instance that is still loading its
/// scene answers only when its event loop runs, which on a slow or busy
/// machine takes seconds; the bound only keeps a hung instance from holding
/// the second start forever.
bool sendRestoreMessage(const QString& name, quint32 message, int timeoutMs = 30000);

} // namespace restorechannel
