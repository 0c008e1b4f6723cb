#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

/// The way a second start reaches the running instance: a local socket in
/// the user's runtime directory. The running instance listens; a second
/// start sends the restore message number and waits until it was handled.
class RestoreServer : public QObject {
    Q_OBJECT

public:
    /// Listens on @p name. A socket left behind by a killed instance is
    /// removed once a connection to it is refused; a live listener's is left
    /// alone (and this server does not listen).
    explicit RestoreServer(const QString& name, QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }

signals:
    /// A second start sent @p message. The sender gets its answer once the
    /// (directly connected) receivers have returned.
    void messageReceived(quint32 message);

private:
    void onNewConnection();

    QLocalServer m_server;
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
