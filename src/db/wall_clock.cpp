#include "wall_clock.h"

namespace {
// Writes value as digits decimal digits, zero-padded, at out; gives the position after them.
char16_t* Digits(char16_t* out, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    return out + digits;
}
} // namespace

// Written digit by digit: a log page binds a hundred of these, and the date and time formatters
// cost more than the database's own work for them.
QVariant WallClockValue(const QDateTime& when)
{
    if (!when.isValid())
        return QVariant(QMetaType::fromType<QString>());
    const QDate date = when.date();
    const QTime time = when.time();
    // A year beyond four digits or before year 1 is no unit time: the formatter's own text.
    if (date.year() < 1 || date.year() > 9999) {
        const QString format = time.msec() == 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm:ss.zzz");
        return QString(date.toString(Qt::ISODate) + u' ' + time.toString(format));
    }
    char16_t text[23];
    char16_t* at = Digits(text, date.year(), 4);
    *at++ = u'-';
    at = Digits(at, date.month(), 2);
    *at++ = u'-';
    at = Digits(at, date.day(), 2);
    *at++ = u' ';
    at = Digits(at, time.hour(), 2);
    *at++ = u':';
    at = Digits(at, time.minute(), 2);
    *at++ = u':';
    at = Digits(at, time.second(), 2);
    if (time.msec() != 0) {
        *at++ = u'.';
        at = Digits(at, time.msec(), 3);
    }
    return QString(reinterpret_cast<const QChar*>(text), at - text);
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
