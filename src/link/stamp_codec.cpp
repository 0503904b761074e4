#include "stamp_codec.h"

#include "field_bytes.h"

QDateTime RolledDateTime(int year, int month, int day, int hour, int minute)
{
    // Floor division keeps month 0 and below in the years before.
    const int monthsFromJanuary = month - 1;
    const int yearShift = monthsFromJanuary >= 0 ? monthsFromJanuary / 12 : (monthsFromJanuary - 11) / 12;
    const QDate firstOfMonth(year + yearShift, monthsFromJanuary - yearShift * 12 + 1, 1);
    const QDateTime midnight(firstOfMonth.addDays(day - 1), QTime(0, 0), Qt::UTC);
    return midnight.addSecs(qint64(hour) * 3600 + qint64(minute) * 60);
}

QDateTime ReadStamp5(std::span<const quint8> buffer, qsizetype start)
{
    const auto f = FieldAt(buffer, start, 5);
    if (f.empty())
        return {};
    return RolledDateTime(2000 + f[4], f[3], f[2], f[0], f[1]);
}

StampAndFlag ReadStampAndFlag(std::span<const quint8> buffer, qsizetype start)
{
    const auto f = FieldAt(buffer, start, 6);
    if (f.empty())
        return {};
    return {ReadStamp5(f, 0), f[5] > 0};
}

QDateTime ReadStamp4(std::span<const quint8> buffer, qsizetype start)
{
    const auto f = FieldAt(buffer, start, 4);
    if (f.empty())
        return {};
    const int hour = f[0] >> 3;
    const int minute = (f[0] & 7) * 8 + (f[1] >> 5);
    return RolledDateTime(2000 + f[3], f[2] & 15, f[1] & 31, hour, minute);
}
