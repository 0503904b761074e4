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

// The number of an address part, or -1 when the part is no number.
int PartNumber(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? n : -1;
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
    return ListedAddress(unit).Address() == *this;
}

ListedAddress::ListedAddress(const SystemInfo& unit) : tcp(unit.commPort == kLinkTcp)
{
    if (tcp) {
        host = AddressPart(unit.aux1, 0);
        port = AddressPart(unit.aux1, 1);
        speed = AddressPart(unit.aux1, 2);
        return;
    }
    const qsizetype dash = unit.aux1.indexOf(QLatin1Char('-'));
    port = dash < 0 ? unit.aux1 : unit.aux1.left(dash);
    speed = dash < 0 ? QString() : unit.aux1.mid(dash + 1);
}

QString ListedAddress::Line() const
{
    return tcp ? host + QLatin1Char(':') + port : QStringLiteral("COM") + port;
}

int ListedAddress::PortNumber() const
{
    return PartNumber(port);
}

int ListedAddress::SpeedNumber() const
{
    return PartNumber(speed);
}

std::optional<UnitAddress> ListedAddress::Address() const
{
    if (!tcp) {
        const int com = PortNumber();
        return com >= kFirstComPort && com <= kLastComPort ? std::optional(SerialAddress(com)) : std::nullopt;
    }
    QString problem;
    return TcpAddress(host, port, &problem);
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
