#include "unit_address.h"

#include "systems_info.h"

#include <link/address_part.h>
#include <link/unit_link.h>

#include <QHostAddress>
#include <QStringList>

namespace {
const QString kLineSpeed = QStringLiteral("-115200");

// Decimal digits only: the stored address has no room for signs or blanks.
std::optional<int> Digits(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = text.toInt();
    return n >= low && n <= high ? std::optional<int>(n) : std::nullopt;
}
} // namespace

QString UnitAddress::LinkAddress() const
{
    return linkType == kLinkTcp ? host + QLatin1Char(':') + QString::number(tcpPort) + kLineSpeed
                                : QString::number(comPort) + kLineSpeed;
}

QString UnitAddress::Display() const
{
    return linkType == kLinkTcp ? host + QLatin1Char(':') + QString::number(tcpPort)
                                : QStringLiteral("COM") + QString::number(comPort);
}

bool UnitAddress::SameLineAs(const SystemInfo& unit) const
{
    const QString port = AddressPart(unit.aux1, 1);
    if (linkType != kLinkTcp)
        return unit.commPort != kLinkTcp && port.toInt() == comPort;
    return unit.commPort == kLinkTcp && port.toInt() == tcpPort &&
           QHostAddress(AddressPart(unit.aux1, 0)).isEqual(QHostAddress(host));
}

UnitAddress SerialAddress(int comPort)
{
    UnitAddress address;
    address.comPort = comPort;
    return address;
}

std::optional<UnitAddress> TcpAddress(const QString& ip, const QString& port, QString* problem)
{
    // Four dotted numbers only: the platform would also take shorthands such as "10.1".
    const QStringList parts = ip.trimmed().split(QLatin1Char('.'));
    bool dotted = parts.size() == 4;
    for (const QString& part : parts)
        dotted = dotted && Digits(part, 0, 255);
    QHostAddress address;
    if (!dotted || !address.setAddress(ip.trimmed())) {
        *problem = QStringLiteral("Μη έγκυρη διεύθυνση IP !");
        return std::nullopt;
    }
    const auto tcpPort = Digits(port.trimmed(), 1, 65535);
    if (!tcpPort) {
        *problem = QStringLiteral("Μη έγκυρη θύρα TCP. Δώστε αριθμό από 1 έως 65535 !");
        return std::nullopt;
    }
    UnitAddress tcp;
    tcp.linkType = kLinkTcp;
    tcp.host = address.toString();
    tcp.tcpPort = *tcpPort;
    return tcp;
}

bool OpenDialogLine(UnitLink& link, const UnitAddress& address)
{
    constexpr int kConnectTries = 15;
    if (address.linkType == kLinkTcp)
        return link.TcpLink(kDialogLinkElement, UnitLink::kTcpConnect, address.host, address.tcpPort,
                            kConnectTries) == UnitLink::kTcpConnected;
    return link.OpenSerialPort(kDialogLinkElement, address.comPort);
}
