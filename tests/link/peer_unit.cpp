#include "peer_unit.h"

#include "frame.h"
#include "reply_length.h"

#include <QFile>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

void PeerUnit::Take(const QByteArray& bytes)
{
    pending_ += bytes;
    while (pending_.size() >= kRequestFrameSize) {
        pending_.remove(0, kRequestFrameSize);
        ++requests_;
        if (!answer.isEmpty())
            Send(answer);
        if (afterAnswer)
            afterAnswer();
    }
}

PtyUnit::PtyUnit()
{
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
        return;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    QFile::link(QString::fromLocal8Bit(ttyname(slave_)), Path());
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            Take(QByteArray(buffer, n));
    });
}

PtyUnit::~PtyUnit()
{
    delete notifier_;
    ::close(master_);
    ::close(slave_);
}

void PtyUnit::Send(const QByteArray& bytes)
{
    // A reply is far below the terminal's buffer: one write takes it whole.
    if (::write(master_, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qWarning("the pseudo-terminal took a reply only in part");
}

TcpUnit::TcpUnit()
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* next = server_.nextPendingConnection()) {
            ++connections_;
            delete socket_;
            socket_ = next;
            connect(next, &QTcpSocket::readyRead, this, [this, next] { Take(next->readAll()); });
            if (next->bytesAvailable() > 0)
                Take(next->readAll());
        }
    });
}

void TcpUnit::Send(const QByteArray& bytes)
{
    socket_->write(bytes);
    socket_->flush();
}

SilentListener::SilentListener()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(filler_, reinterpret_cast<sockaddr*>(&address), length) == 0)
        port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener()
{
    ::close(filler_);
    ::close(listener_);
}

QByteArray DataReply(quint8 command, quint8 seed)
{
    QByteArray reply(1, char(StatusData));
    for (int i = 0; i < ReplyLength(command) - 1; ++i)
        reply.append(char(seed + i));
    const auto payload =
        std::span(reinterpret_cast<const quint8*>(reply.constData()), reply.size()).subspan(1);
    return reply.append(char(XorOf(payload)));
}
