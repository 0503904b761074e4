#include "wall_clock.h"

QVariant WallClockValue(const QDateTime& when)
{
    if (!when.isValid())
        return QVariant(QMetaType::fromType<QString>());
    const QTime time = when.time();
    const QString format = time.msec() == 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm:ss.zzz");
    return QString(when.date().toString(Qt::ISODate) + u' ' + time.toString(format));
}

QDateTime WallClockFromValue(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime read = value.toDateTime();
        return QDateTime(read.date(), read.time(), Qt::UTC);
    }
    // "yyyy-MM-dd", then a blank or a 'T', then the time of day.
    const QString text = value.toString().trimmed();
    if (text.size() < 16 || (text.at(10) != u' ' && text.at(10) != u'T'))
        return {};
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const QTime time = QTime::fromString(text.mid(11), Qt::ISODateWithMs);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}
