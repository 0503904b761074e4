#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A port on 127.0.0.1 that nothing listens on: free again once the probe is gone.
inline quint16 FreeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
