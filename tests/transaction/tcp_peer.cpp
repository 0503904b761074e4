#include "tcp_peer.h"

TcpPeer::TcpPeer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &TcpPeer::Accept);
}

bool TcpPeer::Connected() const
{
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void TcpPeer::Drop()
{
    if (socket_)
        socket_->abort();
}

void TcpPeer::Send(const QByteArray& bytes)
{
    if (!socket_)
        return;
    socket_->write(bytes);
    socket_->flush();
}

void TcpPeer::Accept()
{
    while (QTcpSocket* next = server_.nextPendingConnection()) {
        ++connections_;
        if (socket_)
            socket_->deleteLater();
        socket_ = next;
        connect(next, &QTcpSocket::readyRead, this, [this, next] { Feed(next->readAll()); });
        if (next->bytesAvailable() > 0)
            Feed(next->readAll());
    }
}
