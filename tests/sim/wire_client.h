#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpSocket>

#include <memory>

// A test's end of the unit's line, blocking with time limits. The simulator must run in another
// thread (SimThread) for these to get answers.
class WireClient
{
public:
    virtual ~WireClient() = default;
    virtual void send(const QByteArray& bytes) = 0;
    // Up to n bytes, returning early only when the time is up or the line is gone.
    virtual QByteArray read(int n, int timeoutMs) = 0;
    // True once the other end has closed the line.
    virtual bool lineGone() const = 0;
    // Everything that comes until nothing has come for quietMs.
    QByteArray readUntilQuiet(int quietMs);
};

// Opens a pseudo-terminal (or any tty) by path in raw mode, like a serial port.
class TtyClient : public WireClient
{
public:
    explicit TtyClient(const QString& path);
    ~TtyClient() override;
    bool isOpen() const { return fd_ >= 0; }
    void send(const QByteArray& bytes) override;
    QByteArray read(int n, int timeoutMs) override;
    bool lineGone() const override { return gone_; }

private:
    int fd_ = -1;
    bool gone_ = false;
};

class TcpClient : public WireClient
{
public:
    explicit TcpClient(quint16 port);
    bool isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes) override;
    QByteArray read(int n, int timeoutMs) override;
    bool lineGone() const override { return socket_.state() == QAbstractSocket::UnconnectedState; }

private:
    QTcpSocket socket_;
};
