#pragma once

#include <QString>

#include <optional>

// Decimal values as the settings dialog shows them: one or two decimals ("25.0", "25.25"),
// rounded to two, no grouping, the user's decimal separator.
QString DecimalText(double value);
// A typed decimal value, with the user's separator or "."; nothing when it is no number.
std::optional<double> ParseDecimal(const QString& text);
// A whole number of plain digits; nothing for anything else (sign, blanks, an empty text).
std::optional<int> ParseWhole(const QString& text);
