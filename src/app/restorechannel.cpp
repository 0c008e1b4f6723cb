#include "app/restorechannel.h"

#include "app/nativeeventfilter.h"

#include <QLocalSocket>

RestoreServer::RestoreServer(const QString& name, NativeEventFilter* filter, QObject* parent)
    : QObject(parent), m_server(this), m_filter(filter)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name) && m_server.serverError() == QAbstractSocket::AddressInUseError) {
        // Someone's socket is there: a live listener answers, a dead one's
        // leftover refuses and may go.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (!probe.waitForConnected(500)) {
            QLocalServer::removeServer(name);
            m_server.listen(name);
        }
    }
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
                const bool handled = ok && m_filter != nullptr && m_filter->handleMessage(number);
                socket->write(handled ? "1\n" : "0\n");
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
