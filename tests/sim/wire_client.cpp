#include "wire_client.h"

#include <QDeadlineTimer>

std::unique_ptr<QSerialPort> OpenTty(const QString& path)
{
    auto port = std::make_unique<QSerialPort>(path);
    return port->open(QIODevice::ReadWrite) ? std::move(port) : nullptr;
}

std::unique_ptr<QTcpSocket> ConnectTcp(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket->waitForConnected(2000) ? std::move(socket) : nullptr;
}

void Send(QIODevice& line, const QByteArray& bytes)
{
    line.write(bytes);
    line.waitForBytesWritten(1000);
}

QByteArray Read(QIODevice& line, int n, int timeoutMs)
{
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < n) {
        if (line.bytesAvailable() == 0 && !line.waitForReadyRead(int(deadline.remainingTime())))
            break;
        bytes += line.read(n - bytes.size());
    }
    return bytes;
}

QByteArray ReadUntilQuiet(QIODevice& line, int quietMs)
{
    QByteArray all;
    while (line.bytesAvailable() > 0 || line.waitForReadyRead(quietMs))
        all += line.readAll();
    return all;
}
