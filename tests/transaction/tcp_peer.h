#pragma once

#include "scripted_peer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A scripted serial device server on 127.0.0.1: takes each new connection in place of the last.
class TcpPeer : public ScriptedPeer
{
    Q_OBJECT
public:
    TcpPeer();

    quint16 Port() const { return server_.serverPort(); }
    int Connections() const { return connections_; }
    // The current connection is open from this side.
    bool Connected() const;
    void Drop();
    void Send(const QByteArray& bytes) override;

private:
    void Accept();

    QTcpServer server_;
    QPointer<QTcpSocket> socket_;
    int connections_ = 0;
};
