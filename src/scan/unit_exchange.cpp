#include "unit_exchange.h"

#include <link/unit_link.h>

namespace {
constexpr int kTcpConnectTries = 15;
constexpr quint8 kLinkTcp = 0;
} // namespace

void ConnectUnit(UnitLink& link, const SystemRuntimeRecord& unit)
{
    if (unit.LinkType == kLinkTcp)
        link.TcpLink(unit.CtlIndex, UnitLink::kTcpConnect, unit.Host, unit.TcpPort, kTcpConnectTries);
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
