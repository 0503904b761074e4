#pragma once

#include <QDateTime>

#include <span>

// Unit clock times. A unit keeps wall-clock time without a zone; the results carry
// Qt::UTC only so that no zone rule applies: no summer-time gap or overlap can shift or
// invalidate a time. Read them with date()/time(), never convert them to local time.
// A time-stamp that does not lie wholly inside the buffer reads as a null QDateTime.

struct StampAndFlag
{
    QDateTime Stamp;
    bool SummerTime = false;
};

// The date from year, month and day with calendar roll-over (month 0 is December of the
// year before, day 0 the last day of the month before, and so on), then the hours and
// minutes added as a duration. Never rejects a time.
QDateTime RolledDateTime(int year, int month, int day, int hour, int minute);

// 5 bytes: hour, minute, day, month, year - 2000.
QDateTime ReadStamp5(std::span<const quint8> buffer, qsizetype start);
// A 5-byte time followed by a flag byte, non-zero while summer time is in force.
StampAndFlag ReadStampAndFlag(std::span<const quint8> buffer, qsizetype start);
// 4 packed bytes: hour (5 bits) and minute (6 bits) over the first two, day (5 bits),
// month (low 4 bits of the third), year - 2000.
QDateTime ReadStamp4(std::span<const quint8> buffer, qsizetype start);
