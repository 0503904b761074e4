#pragma once

#include <QString>

// LinkState values, as the scan keeps them and as SyI_Online stores them.
enum LinkState : quint8 {
    LinkOffline = 0,
    LinkOnline = 1,
    LinkInMenu = 2,
};

// What the scan engine keeps of one used unit from Connect to the stop.
struct SystemRuntimeRecord
{
    quint8 LinkType = 0; // 0 TCP through a device server, 1 serial port
    QString Host;
    qint32 TcpPort = 0;
    qint16 CommPort = 0;
    qint32 BaudRate = 0;
    qint16 CtlIndex = 0; // the link element: serial ports counted in table order, TCP always 0
    quint8 LinkState = LinkOffline;
    qint16 BackoffRounds = 0;
    QString Serialnumber;
    bool MoreLogPending = false;
    // The unit's sensors and voltage inputs, by its model.
    int sensorInputs = 0;
    int powerInputs = 0;
    // Why the unit's port did not open at its last try, for the operator; kept through the unit's
    // back-off, empty once the port opened. For a TCP address that reads as no host, why, for the
    // whole run: such a unit is never connected.
    QString portTrouble;
};
