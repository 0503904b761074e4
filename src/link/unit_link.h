#pragma once

#include "frame.h"
#include "link_result.h"
#include "link_timings.h"
#include "serial_port_path.h"

#include <QObject>

#include <memory>
#include <vector>

class SerialTransport;
class TcpTransport;
class Transport;

// Shown by the shell when a transaction is refused for a command code without a reply length.
inline constexpr char kUnsupportedCommandText[] = "System command not supported. Please call service !";

// The server's link to its units: the serial port elements (one per serial unit, indexed by the
// unit's control index), the TCP socket elements (element 0 serves every TCP unit in turn) and the
// transactions over them. Runs on the user-interface thread; waits pump events, so the window stays
// responsive and handlers run nested inside a transaction. Only one transaction or connect runs at
// a time: a nested one is refused.
class UnitLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTcpConnect = -1; // TcpLink mode; any other mode closes
    static constexpr int kTcpConnected = 7;
    static constexpr int kTcpClosed = 0;

    // serialPortPath gives the device of a COM number (SettingsSerialPorts for the settings store);
    // without one no serial port opens.
    explicit UnitLink(SerialPortResolver serialPortPath, LinkTimings timings = {}, QObject* parent = nullptr);
    ~UnitLink() override;

    // Completes the request frame (bytes dataLength to 13 zeroed, byte 14 the check byte), sends it
    // on serial element port (linkSerial non-zero) or TCP element port (linkSerial 0), in BlockMode
    // or HandshakeMode, and waits for the reply with up to three attempts. On LinkOk the payload is
    // in reply[0 .. ReplyLength-1]. A command code without a reply length is refused unsent with
    // LinkFailure (and UnsupportedCommand). A port or socket error resets the element and gives
    // LinkFailure at once.
    LinkResult DeviceTransaction(RequestFrame& request, ReplyBuffer& reply, int dataLength, bool blockMode,
                                 quint8 linkSerial, int port);

    // mode kTcpConnect: connects TCP element port (loaded when missing) to host:remotePort with one
    // attempt per started group of three tries, each up to the connect wait; an element already
    // connected to the same host text and port is kept; a remotePort beyond 0..65535 is never tried.
    // Any other mode closes the element. Returns kTcpConnected or kTcpClosed.
    int TcpLink(int port, int mode, const QString& host, int remotePort, int tries);
    // Why the last TcpLink connect did not connect (the reason of its last attempt); empty when it
    // connected or tried nothing.
    const QString& TcpConnectError() const { return tcpConnectError_; }

    // Closes and reopens serial element port; returns whether it is open afterwards (false while a
    // transaction runs: nothing is done then).
    bool ResetSerialPort(int port);

    // Pumps events for the given time.
    void Delay(int milliseconds);

    // Sets up serial element port (loaded when missing) on the device of COM comPort and opens it;
    // returns whether it opened. A port that does not open is no error here: its transactions fail.
    bool OpenSerialPort(int port, int comPort);
    // The device of serial element port, and the system's reason why its last open failed (empty
    // when it opened); both empty when the element is not loaded.
    QString SerialDevice(int port) const;
    QString SerialOpenError(int port) const;

    // The stop: closes every serial element from the highest down and every TCP element, and
    // unloads all but element 0 of each. False (nothing done) while a transaction runs.
    bool CloseAll();

    // The element, or nullptr when it is not loaded.
    Transport* Element(quint8 linkSerial, int port) const;

signals:
    // A transaction pauses between two attempts.
    void Pausing(int milliseconds);
    // TcpLink starts one connection attempt on element port.
    void Connecting(int port);
    // A transaction was asked for a command code that has no reply length.
    void UnsupportedCommand(quint8 code);

private:
    SerialPortResolver serialPortPath_;
    LinkTimings timings_;
    std::vector<std::unique_ptr<SerialTransport>> serial_;
    std::vector<std::unique_ptr<TcpTransport>> tcp_;
    QString tcpConnectError_;
    bool busy_ = false;
};
