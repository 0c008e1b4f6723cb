#include "app/restorechannel.h"

#include <QLocalSocket>

RestoreServer::RestoreServer(const QString& name, QObject* parent) : QObject(parent), m_server(this)
{
    // A socket file at the name is either a live listener's, which answers
    // (and is left alone), or a killed instance's leftover, which refuses a
    // connection and may go.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(200)) {
        probe.disconnectFromServer();
        return;
    }
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(name);
    connect(&m_server, &QLocalServer::newConnection, this, &RestoreServer::onNewConnection);
}

void RestoreServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                bool ok = false;
                const quint32 number = socket->readLine().trimmed().toUInt(&ok);
                if (ok)
                    emit messageReceived(number);
                socket->write(ok ? "1\n" : "0\n");
                socket->flush();
            }
        });
    }
}

namespace restorechannel {

bool sendRestoreMessage(const QString& name, quint32 message, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QByteArray::number(message) + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Like a sent window message, wait until the instance has handled it.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine().trimmed() == "1";
}

} // namespace restorechannel
