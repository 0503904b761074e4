#pragma once

#include <QVariant>

// The value to bind for value, in the type the database stores it as: a date-time as wall-clock
// text (see wall_clock.h), a single-precision real as the double nearest its shortest decimal
// text, so that a terminal reads 0.1 where the unit sent 0.1, a short or a byte as an int.
// Through the drivers a single or a short would otherwise go as text and back.
QVariant Bindable(const QVariant& value);

// Whether a bound value stands for NULL, as the Qt drivers take it: also a null text, a null byte
// array or an invalid date-time (see Bindable).
bool IsNullValue(const QVariant& value);
