#include "serial_port_path.h"

#include <QSettings>

QString SerialPortPath(int comPort, const QSettings& store)
{
    const QString mapped = store.value(QStringLiteral("SerialPorts/COM%1").arg(comPort)).toString();
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(comPort - 1) : mapped;
}

SerialPortResolver SettingsSerialPorts(const QString& storeTitle)
{
    return [storeTitle](int comPort) {
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, storeTitle, storeTitle);
        return SerialPortPath(comPort, store);
    };
}
