#include "sim_log.h"

#include <QDateTime>
#include <QFileDevice>
#include <QIODevice>

namespace unitsim {

void SimLog::SetDevice(QIODevice* device)
{
    QMutexLocker lock(&mutex_);
    device_ = device;
}

void SimLog::Line(const QString& text)
{
    QMutexLocker lock(&mutex_);
    if (!device_)
        return;
    const QString stamped = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + u' ' + text + u'\n';
    device_->write(stamped.toUtf8());
    // A file device buffers; a log read while the simulator runs must be current.
    if (auto* file = qobject_cast<QFileDevice*>(device_))
        file->flush();
}

QString SimLog::Hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace unitsim
