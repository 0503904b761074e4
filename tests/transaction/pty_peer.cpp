#include "pty_peer.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    Plug();
}

PtyPeer::~PtyPeer()
{
    Vanish();
}

QString PtyPeer::DevicePath() const
{
    return dir_.filePath(QStringLiteral("unit"));
}

void PtyPeer::Plug()
{
    Vanish();
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    QFile::link(QString::fromLocal8Bit(ttyname(slave_)), DevicePath());
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyPeer::ReadMaster);
}

void PtyPeer::Vanish()
{
    notifier_.reset();
    QFile::remove(DevicePath());
    if (master_ >= 0) {
        ::close(master_);
        ::close(slave_);
    }
    master_ = slave_ = -1;
}

void PtyPeer::Send(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
    }
}

void PtyPeer::ReadMaster()
{
    char buffer[512];
    QByteArray bytes;
    ssize_t n;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    if (!bytes.isEmpty())
        Feed(bytes);
}
