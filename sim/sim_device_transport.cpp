#include "sim_device_transport.h"

#include "sim_fd_link.h"

#include <QFile>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace unitsim {

DeviceTransport::DeviceTransport(QString path, QObject* parent) : SimTransport(parent), path_(std::move(path))
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &DeviceTransport::TryOpen);
}

bool DeviceTransport::Start(QString*)
{
    TryOpen();
    return true;
}

void DeviceTransport::TryOpen()
{
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        retry_.start(kRetryMs);
        return;
    }
    termios attributes{};
    if (::tcgetattr(fd, &attributes) == 0) {
        cfmakeraw(&attributes);
        ::tcsetattr(fd, TCSANOW, &attributes);
    }
    device_ = new FdLink(fd, this);
    connect(device_, &FdLink::Received, this, &SimTransport::Received);
    connect(device_, &FdLink::Hangup, this, [this] {
        Close();
        emit LinkLost();
        retry_.start(kRetryMs);
    });
}

void DeviceTransport::Close()
{
    if (device_) {
        device_->disconnect(this);
        device_->deleteLater();
    }
    device_.clear();
}

void DeviceTransport::Write(const QByteArray& bytes)
{
    if (device_)
        device_->Write(bytes);
}

void DeviceTransport::DropLink(int downMs)
{
    Close();
    retry_.start(downMs);
}

QString DeviceTransport::Describe() const
{
    return QStringLiteral("device %1").arg(path_);
}

} // namespace unitsim
