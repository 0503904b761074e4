#pragma once

#include <QString>

#include <optional>

class UnitLink;
struct SystemInfo;

// LinkType values: any value other than kLinkTcp is a serial port.
constexpr int kLinkTcp = 0;
constexpr int kLinkSerial = 1;
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 16;

// Where a unit is reached: a COM port of this PC or an IPv4 address and TCP port.
struct UnitAddress
{
    int linkType = kLinkSerial;
    int comPort = 0;
    QString host;
    int tcpPort = 0;

    // The LinkAddress text kept in SyI_Aux1: "5-115200" or "10.0.0.7:4001-115200".
    QString LinkAddress() const;
    // "COM5" or "10.0.0.7:4001", for the operator.
    QString Display() const;
    // Whether a listed unit is reached the same way (the same COM port, or the same address and port).
    bool SameLineAs(const SystemInfo& unit) const;
    // The link argument of a transaction on this line: 0 over TCP, 1 on a serial port.
    quint8 LinkSerial() const { return linkType == kLinkTcp ? 0 : 1; }

    bool operator==(const UnitAddress&) const = default;
};

// A listed unit's address as stored (SyI_Commport, SyI_Aux1), read into its parts as written:
// "5-115200" on a serial port, "10.0.0.7:4001-115200" over TCP.
struct ListedAddress
{
    explicit ListedAddress(const SystemInfo& unit);

    bool tcp = false;
    QString host; // empty on a serial port
    QString port; // the COM port's number or the TCP port
    QString speed;

    // "COM5" or "10.0.0.7:4001", as written.
    QString Line() const;
    // The numbers of the port and of the speed; -1 when the part is no number.
    int PortNumber() const;
    int SpeedNumber() const;
    // Where the unit is reached: COM1 to COM16, or an IPv4 address and a TCP port; nothing for
    // any other address.
    std::optional<UnitAddress> Address() const;
};

// The element of the link that the dialogs use while no scan runs.
constexpr int kDialogLinkElement = 0;

// Opens the dialogs' element of the link on the address: connects over TCP or opens the serial
// port. Whether the line is open.
bool OpenDialogLine(UnitLink& link, const UnitAddress& address);

UnitAddress SerialAddress(int comPort);
// An IPv4 address in its plain dotted form ("192.168.1.20" for "192.168.001.020"): four decimal
// numbers 0 to 255, leading zeros and surrounding blanks dropped. Nothing for any other text.
std::optional<QString> PlainIpAddress(const QString& text);
// The address as typed, or nothing with problem set (Greek, for the operator) when it is not an IPv4
// address or a TCP port 1 to 65535. The address is kept in its plain dotted form.
std::optional<UnitAddress> TcpAddress(const QString& ip, const QString& port, QString* problem);
