#include "sim_pty_transport.h"

#include "sim_fd_link.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace unitsim {

namespace {
QString SystemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

PtyTransport::PtyTransport(QString linkPath, QObject* parent)
    : SimTransport(parent), linkPath_(std::move(linkPath))
{
}

PtyTransport::~PtyTransport()
{
    Close();
}

bool PtyTransport::Start(QString* error)
{
    const QFileInfo existing(linkPath_);
    // Replacing a link is how a restarted simulator takes its place again; anything else at the
    // path belongs to someone else.
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath_);
        return false;
    }
    return Open(error);
}

bool PtyTransport::Open(QString* error)
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B115200);
    cfsetospeed(&raw, B115200);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        *error = SystemError("openpty");
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    // Publish atomically: a client never sees a missing or half-made link.
    const QByteArray link = QFile::encodeName(linkPath_);
    const QByteArray temporary = link + ".new";
    ::unlink(temporary.constData());
    if (::symlink(name, temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        *error = SystemError("publishing the link");
        ::unlink(temporary.constData());
        ::close(master);
        ::close(slave);
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    heldSlave_ = slave;
    master_ = new FdLink(master, this);
    connect(master_, &FdLink::Received, this, &SimTransport::Received);
    // With our own slave descriptor held the master cannot hang up; an error here is fatal to
    // this pseudo-terminal, so replace it like a drop.
    connect(master_, &FdLink::Hangup, this, [this] {
        emit LinkLost();
        DropLink(0);
    });
    return true;
}

void PtyTransport::Close()
{
    if (master_) {
        master_->disconnect(this);
        master_->deleteLater();
    }
    master_.clear();
    if (heldSlave_ >= 0)
        ::close(heldSlave_);
    heldSlave_ = -1;
    if (slavePath_.isEmpty())
        return;
    // Only our own link goes: another simulator may have taken the path since.
    if (QFile::symLinkTarget(linkPath_) == slavePath_)
        QFile::remove(linkPath_);
    slavePath_.clear();
}

void PtyTransport::Write(const QByteArray& bytes)
{
    if (master_)
        master_->Write(bytes);
}

void PtyTransport::DropLink(int downMs)
{
    Close();
    QTimer::singleShot(downMs, this, [this] {
        QString error;
        if (!master_ && !Open(&error))
            qWarning("unit simulator: cannot reopen the pseudo-terminal: %s", qPrintable(error));
    });
}

QString PtyTransport::Describe() const
{
    return QStringLiteral("pty %1 -> %2").arg(linkPath_, slavePath_);
}

} // namespace unitsim
