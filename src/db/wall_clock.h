#pragma once

#include <QDateTime>
#include <QVariant>

// Unit times are wall-clock times without a zone. They are stored as the text
// "yyyy-MM-dd HH:mm:ss" (".zzz" added when there are milliseconds) made from date() and
// time(), so no time-zone rule of this machine or of the database server can shift them.
// They are read back in Qt::UTC, which applies no zone rules. Build unit times in Qt::UTC
// too: a local time inside a summer-time gap would already be shifted.

// The value to bind for a date-time: its text, or Null for a null or invalid date-time.
QVariant WallClockValue(const QDateTime& when);

// A date-time column's value as either driver reads it back (text or QDateTime); a null
// QDateTime for Null and for text that is no date-time.
QDateTime WallClockFromValue(const QVariant& value);
