#include "bindable.h"

#include "wall_clock.h"

#include <charconv>

bool IsNullValue(const QVariant& value)
{
    if (value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isNull();
    case QMetaType::QByteArray:
        return value.toByteArray().isNull();
    default:
        return false;
    }
}

QVariant Bindable(const QVariant& value)
{
    if (value.isNull() && value.typeId() != QMetaType::QDateTime)
        return value;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return WallClockValue(value.toDateTime());
    case QMetaType::Float: {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, value.toFloat());
        double nearest = 0;
        std::from_chars(text, written.ptr, nearest);
        return nearest;
    }
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toInt();
    default:
        return value;
    }
}
