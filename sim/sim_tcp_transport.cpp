#include "sim_tcp_transport.h"

#include <QTimer>

namespace unitsim {

TcpTransport::TcpTransport(quint16 port, QObject* parent) : SimTransport(parent), requestedPort_(port)
{
    connect(&server_, &QTcpServer::newConnection, this, &TcpTransport::TakeNext);
}

TcpTransport::~TcpTransport()
{
    // Its signals must not reach a transport that is half destroyed.
    if (client_) {
        client_->disconnect(this);
        delete client_;
    }
}

bool TcpTransport::Start(QString* error)
{
    if (server_.listen(QHostAddress::LocalHost, requestedPort_))
        return true;
    *error = server_.errorString();
    return false;
}

void TcpTransport::TakeNext()
{
    if (client_ || down_ || !server_.hasPendingConnections())
        return;
    // Further clients stay in the listen queue, connected but unserved, until this one leaves.
    server_.pauseAccepting();
    client_ = server_.nextPendingConnection();
    client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(client_, &QTcpSocket::readyRead, this, [this] {
        if (client_)
            emit Received(client_->readAll());
    });
    connect(client_, &QTcpSocket::disconnected, this, [this] {
        Release();
        emit LinkLost();
        TakeNext();
    });
    if (client_->bytesAvailable() > 0)
        emit Received(client_->readAll());
}

void TcpTransport::Release()
{
    if (client_) {
        client_->disconnect(this);
        client_->abort();
        client_->deleteLater();
    }
    client_.clear();
    if (!down_)
        server_.resumeAccepting();
}

void TcpTransport::Write(const QByteArray& bytes)
{
    if (!client_)
        return;
    client_->write(bytes);
    client_->flush();
}

void TcpTransport::DropLink(int downMs)
{
    down_ = true;
    Release();
    QTimer::singleShot(downMs, this, [this] {
        down_ = false;
        server_.resumeAccepting();
        TakeNext();
    });
}

QString TcpTransport::Describe() const
{
    return QStringLiteral("tcp 127.0.0.1:%1").arg(Port());
}

} // namespace unitsim
