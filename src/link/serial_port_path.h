#pragma once

#include <QString>

#include <functional>

class QSettings;

// Device path of a COM port number.
using SerialPortResolver = std::function<QString(int comPort)>;

// Device path of COM comPort: the value of key COM<n> in section SerialPorts of the store when it
// is set and not empty, else /dev/ttyS<n-1>.
QString SerialPortPath(int comPort, const QSettings& store);

// Resolves through the per-user settings store named storeTitle, read again at every call so an
// edited mapping takes effect at the next connect.
SerialPortResolver SettingsSerialPorts(const QString& storeTitle);
