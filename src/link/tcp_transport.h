#pragma once

#include "transport.h"

#include <QTcpSocket>

// A unit behind a serial device server, reached over one TCP connection.
class TcpTransport : public Transport
{
    Q_OBJECT
public:
    explicit TcpTransport(QObject* parent = nullptr);

    // Starts connecting; IsOpen() or Failed() tells the outcome once events have run.
    void ConnectTo(const QString& host, quint16 port);
    // The attempt started by ConnectTo() has not ended yet.
    bool Connecting() const;
    // Why the attempt started by ConnectTo() has not connected: the socket's reason, or a
    // time-out while it is still under way. Empty once it has connected.
    QString ConnectError() const;
    // Connected to exactly this host text and port.
    bool IsConnectedTo(const QString& host, quint16 port) const;

    bool IsOpen() const override;
    bool Failed() const override;
    bool DiscardInput() override;
    bool Write(const QByteArray& bytes) override;
    qint64 BytesAvailable() const override;
    QByteArray ReadAll() override;
    void Close() override;
    void Reset() override;

private:
    QTcpSocket socket_;
    QString host_;
    quint16 port_ = 0;
    bool broken_ = false;
};
