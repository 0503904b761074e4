#pragma once

// How a failed expectation shows the Qt values it compares: as text, not as byte dumps.
// GoogleTest finds these through argument-dependent lookup, which for Qt's types means the
// global namespace; every test file sees them first (tests/CMakeLists.txt includes this
// header ahead of each source).

#include <iosfwd>

class QByteArray;
class QColor;
class QDate;
class QDateTime;
class QString;
class QTime;
class QVariant;

// Quoted UTF-8; quotes, backslashes and characters that do not print are escaped.
void PrintTo(const QString& text, std::ostream* os);
// The size and each byte in hex beside its text: printable ASCII as it is, others as '.'; rows
// of 16 with their offset when longer than one row.
void PrintTo(const QByteArray& bytes, std::ostream* os);
// The type name and the value, or that it is null or invalid.
void PrintTo(const QVariant& value, std::ostream* os);
// ISO dates and times to the millisecond; a date-time adds how its time is meant.
void PrintTo(const QDateTime& at, std::ostream* os);
void PrintTo(const QDate& day, std::ostream* os);
void PrintTo(const QTime& time, std::ostream* os);
void PrintTo(const QColor& color, std::ostream* os);
