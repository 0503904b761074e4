#pragma once

#include "sim_transport.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace unitsim {

// A TCP port on 127.0.0.1 served like a serial device server: one connection at a time. A second
// client is connected by the system but waits, unserved, until the first one has closed.
class TcpTransport : public SimTransport
{
    Q_OBJECT
public:
    // port 0 picks a free port; Port() tells which.
    explicit TcpTransport(quint16 port, QObject* parent = nullptr);
    ~TcpTransport() override;

    bool Start(QString* error) override;
    void Write(const QByteArray& bytes) override;
    void DropLink(int downMs) override;
    QString Describe() const override;

    quint16 Port() const { return server_.serverPort(); }

private:
    void TakeNext();
    void Release();

    quint16 requestedPort_;
    QTcpServer server_{this};
    QPointer<QTcpSocket> client_;
    bool down_ = false;
};

} // namespace unitsim
