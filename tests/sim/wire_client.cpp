#include "wire_client.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

QByteArray WireClient::ReadUntilQuiet(int quietMs)
{
    QByteArray all;
    for (;;) {
        const QByteArray more = Read(1 << 16, quietMs);
        if (more.isEmpty())
            return all;
        all += more;
    }
}

TtyClient::TtyClient(const QString& path)
{
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios attributes{};
    ::tcgetattr(fd_, &attributes);
    cfmakeraw(&attributes);
    ::tcsetattr(fd_, TCSANOW, &attributes);
}

TtyClient::~TtyClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TtyClient::Send(const QByteArray& bytes)
{
    if (::write(fd_, bytes.constData(), size_t(bytes.size())) != bytes.size())
        gone_ = true;
}

QByteArray TtyClient::Read(int n, int timeoutMs)
{
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < n && !gone_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            break;
        char buffer[4096];
        const ssize_t got = ::read(fd_, buffer, std::min<size_t>(sizeof buffer, size_t(n - bytes.size())));
        if (got > 0)
            bytes.append(buffer, got);
        else if (got == 0 || (errno != EAGAIN && errno != EINTR))
            gone_ = true;
    }
    return bytes;
}

TcpClient::TcpClient(quint16 port)
{
    socket_.connectToHost(QHostAddress::LocalHost, port);
    socket_.waitForConnected(2000);
}

void TcpClient::Send(const QByteArray& bytes)
{
    socket_.write(bytes);
    socket_.waitForBytesWritten(1000);
}

QByteArray TcpClient::Read(int n, int timeoutMs)
{
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < n) {
        if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(int(deadline.remainingTime())))
            break;
        bytes += socket_.read(n - bytes.size());
    }
    return bytes;
}
