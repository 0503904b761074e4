#pragma once

#include <QProcess>
#include <QString>

// telvaron-unitsim run as a separate process.

// Starts the simulator with the arguments (split at spaces) and gives its "serving ..." line.
// Without --unit it has no identity: identify is not supported.
QString StartUnitsim(QProcess& process, const QString& arguments);
// The port of a "serving tcp" line; 0 for any other line.
quint16 TcpPortOf(const QString& ready);
// Ends the simulator by SIGTERM, which ends it normally.
void Terminate(QProcess& unitsim);
