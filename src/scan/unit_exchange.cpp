#include "unit_exchange.h"

#include <link/transport.h>
#include <link/unit_link.h>

namespace {
constexpr int kTcpConnectTries = 15;
constexpr quint8 kLinkTcp = 0;
} // namespace

QString ConnectUnit(UnitLink& link, const SystemRuntimeRecord& unit)
{
    if (unit.LinkType == kLinkTcp) {
        if (link.TcpLink(unit.CtlIndex, UnitLink::kTcpConnect, unit.Host, unit.TcpPort, kTcpConnectTries) ==
                UnitLink::kTcpConnected ||
            link.TcpConnectError().isEmpty())
            return {};
        return QStringLiteral("Η σύνδεση με %1:%2 απέτυχε: %3")
            .arg(unit.Host)
            .arg(unit.TcpPort)
            .arg(link.TcpConnectError());
    }
    const QString device = link.SerialDevice(unit.CtlIndex);
    // An address without a port number leaves no device to open or name.
    if (device.isEmpty())
        return {};
    if (!link.Element(unit.LinkType, unit.CtlIndex)->IsOpen())
        link.ResetSerialPort(unit.CtlIndex);
    const QString reason = link.SerialOpenError(unit.CtlIndex);
    if (reason.isEmpty())
        return {};
    return QStringLiteral("Η θύρα COM%1 (%2) δεν ανοίγει: %3").arg(unit.CommPort).arg(device, reason);
}

void CloseUnit(UnitLink& link, const SystemRuntimeRecord& unit)
{
    if (unit.LinkType == kLinkTcp)
        link.TcpLink(unit.CtlIndex, 0, QString(), 0, 0);
}

LinkResult ExchangeWithUnit(UnitLink& link, const SystemRuntimeRecord& unit, RequestFrame& request,
                            ReplyBuffer& reply, int dataLength)
{
    return link.DeviceTransaction(request, reply, dataLength, true, unit.LinkType, unit.CtlIndex);
}
