#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>

// A bare unit for what the simulated one cannot do: sit in the link's own thread, send when it is
// not asked, close straight after a reply. It answers each whole request (15 bytes) with `answer`
// (nothing when empty), then calls afterAnswer.
class PeerUnit : public QObject
{
public:
    QByteArray answer;
    std::function<void()> afterAnswer;

    virtual void Send(const QByteArray& bytes) = 0;
    int Requests() const { return requests_; }

protected:
    void Take(const QByteArray& bytes);

private:
    QByteArray pending_;
    int requests_ = 0;
};

// On the master side of a pseudo-terminal; the link opens Path(), a symlink to the slave.
class PtyUnit : public PeerUnit
{
public:
    PtyUnit();
    ~PtyUnit() override;
    QString Path() const { return dir_.filePath(QStringLiteral("unit")); }
    void Send(const QByteArray& bytes) override;

private:
    QTemporaryDir dir_;
    int master_ = -1;
    int slave_ = -1; // held open so that the master never reads a hang-up
    QSocketNotifier* notifier_ = nullptr;
};

// A device server on 127.0.0.1 that takes each new connection in place of the last.
class TcpUnit : public PeerUnit
{
public:
    TcpUnit();
    quint16 Port() const { return server_.serverPort(); }
    int Connections() const { return connections_; }
    bool Connected() const { return socket_ && socket_->state() == QAbstractSocket::ConnectedState; }
    void Drop() { socket_->abort(); }
    void Send(const QByteArray& bytes) override;

private:
    QTcpServer server_;
    QTcpSocket* socket_ = nullptr;
    int connections_ = 0;
};

// A port on 127.0.0.1 whose connection attempts are never answered. On loopback the kernel
// completes a handshake to any listening socket by itself, so this one listens with a backlog of
// zero and has its accept queue filled by a first connection that is never accepted: the kernel
// then drops every further SYN, and a client stays connecting until it gives up.
class SilentListener
{
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    quint16 Port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    quint16 port_ = 0;
};

// StatusData, the command's payload counting up from seed, and its check byte.
QByteArray DataReply(quint8 command, quint8 seed = 1);
