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
    virtual void Send(const QByteArray& bytes) = 0;
    // Up to n bytes, returning early only when the time is up or the line is gone.
    virtual QByteArray Read(int n, int timeoutMs) = 0;
    // True once the other end has closed the line.
    virtual bool LineGone() const = 0;
    // Everything that comes until nothing has come for quietMs.
    QByteArray ReadUntilQuiet(int quietMs);
};

// Opens a pseudo-terminal (or any tty) by path in raw mode, like a serial port.
class TtyClient : public WireClient
{
public:
    explicit TtyClient(const QString& path);
    ~TtyClient() override;
    bool IsOpen() const { return fd_ >= 0; }
    void Send(const QByteArray& bytes) override;
    QByteArray Read(int n, int timeoutMs) override;
    bool LineGone() const override { return gone_; }

private:
    int fd_ = -1;
    bool gone_ = false;
};

class TcpClient : public WireClient
{
public:
    explicit TcpClient(quint16 port);
    bool IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    void Send(const QByteArray& bytes) override;
    QByteArray Read(int n, int timeoutMs) override;
    bool LineGone() const override { return socket_.state() == QAbstractSocket::UnconnectedState; }

private:
    QTcpSocket socket_;
};
