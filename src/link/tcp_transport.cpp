#include "tcp_transport.h"

#include <system_error>

TcpTransport::TcpTransport(QObject* parent) : Transport(parent)
{
    connect(&socket_, &QTcpSocket::readyRead, this, &Transport::BytesArrived);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] { broken_ = true; });
}

void TcpTransport::ConnectTo(const QString& host, quint16 port)
{
    Close();
    host_ = host;
    port_ = port;
    socket_.connectToHost(host, port);
}

bool TcpTransport::Connecting() const
{
    const auto state = socket_.state();
    return state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState;
}

QString TcpTransport::ConnectError() const
{
    if (IsOpen())
        return {};
    // Worded like the system's other reasons.
    if (Connecting())
        return QString::fromStdString(std::make_error_code(std::errc::timed_out).message());
    return socket_.errorString();
}

bool TcpTransport::IsConnectedTo(const QString& host, quint16 port) const
{
    return IsOpen() && host_ == host && port_ == port;
}

bool TcpTransport::IsOpen() const
{
    return socket_.state() == QAbstractSocket::ConnectedState;
}

bool TcpTransport::Failed() const
{
    return broken_ || !IsOpen();
}

bool TcpTransport::DiscardInput()
{
    if (Failed())
        return false;
    socket_.readAll();
    return true;
}

bool TcpTransport::Write(const QByteArray& bytes)
{
    return !Failed() && socket_.write(bytes) == bytes.size();
}

qint64 TcpTransport::BytesAvailable() const
{
    return socket_.bytesAvailable();
}

QByteArray TcpTransport::ReadAll()
{
    return socket_.readAll();
}

void TcpTransport::Close()
{
    socket_.abort();
    broken_ = false;
}

void TcpTransport::Reset()
{
    Close();
}
