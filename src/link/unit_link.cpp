#include "unit_link.h"

#include "event_wait.h"
#include "reply_length.h"
#include "serial_transport.h"
#include "tcp_transport.h"
#include "unit_transaction.h"

#include <QScopedValueRollback>

namespace {
constexpr int kTriesPerConnectAttempt = 3;
constexpr int kHighestElement = 32767; // control indexes are 16-bit

template <typename Element> Element* At(const std::vector<std::unique_ptr<Element>>& elements, int port)
{
    return port >= 0 && port < int(elements.size()) ? elements[port].get() : nullptr;
}

// The caller has checked 0 <= port <= kHighestElement.
template <typename Element> Element& Load(std::vector<std::unique_ptr<Element>>& elements, int port)
{
    if (port >= int(elements.size()))
        elements.resize(port + 1);
    if (!elements[port])
        elements[port] = std::make_unique<Element>();
    return *elements[port];
}

// Closes every element from the highest down and unloads all but element 0.
template <typename Element> void CloseAndUnload(std::vector<std::unique_ptr<Element>>& elements)
{
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if (*it)
            (*it)->Close();
    }
    elements.resize(1);
}
} // namespace

UnitLink::UnitLink(SerialPortResolver serialPortPath, LinkTimings timings, QObject* parent)
    : QObject(parent), serialPortPath_(std::move(serialPortPath)), timings_(timings)
{
    // Element 0 of each array always exists, like the controls on the main window.
    Load(serial_, 0);
    Load(tcp_, 0);
}

UnitLink::~UnitLink() = default;

LinkResult UnitLink::DeviceTransaction(RequestFrame& request, ReplyBuffer& reply, int dataLength,
                                       bool blockMode, quint8 linkSerial, int port)
{
    if (busy_)
        return LinkFailure;
    const QScopedValueRollback guard(busy_, true);
    CompleteRequestFrame(request, dataLength);
    if (ReplyLength(request[0]) == 0) {
        emit UnsupportedCommand(request[0]);
        return LinkFailure;
    }
    Transport* transport = Element(linkSerial, port);
    if (!transport)
        return LinkFailure;
    UnitTransaction transaction(*transport, timings_, [this](int milliseconds) {
        emit Pausing(milliseconds);
        Delay(milliseconds);
    });
    transport->SetReading(true);
    const LinkResult result = transaction.Run(request, reply, blockMode);
    // A reset within the transaction may have made the transport anew.
    if (Transport* after = Element(linkSerial, port))
        after->SetReading(false);
    return result;
}

int UnitLink::TcpLink(int port, int mode, const QString& host, int remotePort, int tries)
{
    if (busy_ || port < 0 || port > kHighestElement)
        return kTcpClosed;
    const QScopedValueRollback guard(busy_, true);
    TcpTransport& socket = Load(tcp_, port);
    if (mode != kTcpConnect) {
        socket.Close();
        return kTcpClosed;
    }
    tcpConnectError_.clear();
    const auto remote = quint16(remotePort);
    if (remote == remotePort && socket.IsConnectedTo(host, remote))
        return kTcpConnected;
    socket.Close();
    if (remote != remotePort) // no such port: it would wrap onto another one
        return kTcpClosed;
    for (int i = 1; i <= tries; i += kTriesPerConnectAttempt) {
        emit Connecting(port);
        socket.ConnectTo(host, remote);
        WaitUntil(timings_.tcpConnectWait, [&] { return !socket.Connecting(); });
        if (socket.IsOpen())
            return kTcpConnected;
        tcpConnectError_ = socket.ConnectError();
        socket.Close();
    }
    return kTcpClosed;
}

bool UnitLink::ResetSerialPort(int port)
{
    SerialTransport* serial = At(serial_, port);
    if (busy_ || !serial)
        return false;
    serial->Reset();
    return serial->IsOpen();
}

void UnitLink::Delay(int milliseconds)
{
    WaitUntil(milliseconds, [] { return false; });
}

bool UnitLink::OpenSerialPort(int port, int comPort)
{
    if (busy_ || port < 0 || port > kHighestElement || !serialPortPath_)
        return false;
    return Load(serial_, port).Open(serialPortPath_(comPort));
}

QString UnitLink::SerialDevice(int port) const
{
    const SerialTransport* serial = At(serial_, port);
    return serial ? serial->DevicePath() : QString();
}

QString UnitLink::SerialOpenError(int port) const
{
    const SerialTransport* serial = At(serial_, port);
    return serial ? serial->OpenError() : QString();
}

bool UnitLink::CloseAll()
{
    if (busy_)
        return false;
    CloseAndUnload(serial_);
    CloseAndUnload(tcp_);
    return true;
}

Transport* UnitLink::Element(quint8 linkSerial, int port) const
{
    if (linkSerial != 0)
        return At(serial_, port);
    return At(tcp_, port);
}
