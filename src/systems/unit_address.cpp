#include "unit_address.h"

#include "systems_info.h"

#include <link/address_part.h>
#include <link/unit_link.h>

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
           PlainIpAddress(AddressPart(unit.aux1, 0)) == host;
}

std::optional<QString> PlainIpAddress(const QString& text)
{
    // Every number is decimal: the platform's parser reads "010" as octal and "0x7f" as hex, which
    // would reach another host than the operator typed.
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    QStringList numbers;
    for (const QString& part : parts) {
        const auto n = Digits(part, 0, 255);
        if (!n)
            return std::nullopt;
        numbers << QString::number(*n);
    }
    return numbers.join(QLatin1Char('.'));
}

UnitAddress SerialAddress(int comPort)
{
    UnitAddress address;
    address.comPort = comPort;
    return address;
}

std::optional<UnitAddress> TcpAddress(const QString& ip, const QString& port, QString* problem)
{
    const auto host = PlainIpAddress(ip);
    if (!host) {
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
    tcp.host = *host;
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
