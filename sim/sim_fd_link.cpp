#include "sim_fd_link.h"

#include <cerrno>
#include <unistd.h>

namespace unitsim {

FdLink::FdLink(int fd, QObject* parent)
    : QObject(parent), fd_(fd), readNotifier_(fd, QSocketNotifier::Read, this),
      writeNotifier_(fd, QSocketNotifier::Write, this)
{
    writeNotifier_.setEnabled(false);
    connect(&readNotifier_, &QSocketNotifier::activated, this, &FdLink::ReadAll);
    connect(&writeNotifier_, &QSocketNotifier::activated, this, &FdLink::Flush);
}

FdLink::~FdLink()
{
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    ::close(fd_);
}

void FdLink::Write(const QByteArray& bytes)
{
    pending_ += bytes;
    Flush();
}

void FdLink::ReadAll()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (!bytes.isEmpty())
            emit Received(bytes);
        Fail();
        return;
    }
    if (!bytes.isEmpty())
        emit Received(bytes);
}

void FdLink::Flush()
{
    while (!pending_.isEmpty()) {
        const ssize_t n = ::write(fd_, pending_.constData(), size_t(pending_.size()));
        if (n > 0) {
            pending_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_.setEnabled(true);
            return;
        }
        Fail();
        return;
    }
    writeNotifier_.setEnabled(false);
}

void FdLink::Fail()
{
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    pending_.clear();
    emit Hangup();
}

} // namespace unitsim
