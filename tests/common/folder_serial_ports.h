#pragma once

#include <link/serial_port_path.h>

#include <QString>

// COM n is the pseudo-terminal link "com<n>" in folder, where simulated units publish theirs.
inline SerialPortResolver FolderSerialPorts(const QString& folder)
{
    return [folder](int com) { return folder + QStringLiteral("/com%1").arg(com); };
}
