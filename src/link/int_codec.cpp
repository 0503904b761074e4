#include "int_codec.h"

#include "field_bytes.h"

#include <algorithm>
#include <limits>

namespace {
template <typename Int> Int ReadClamped(std::span<const quint8> buffer, qsizetype start)
{
    const quint32 value = ReadLittleEndian(buffer, start, sizeof(Int));
    return Int(std::min<quint32>(value, std::numeric_limits<Int>::max()));
}
} // namespace

qint16 ReadU16Clamp(std::span<const quint8> buffer, qsizetype start)
{
    return ReadClamped<qint16>(buffer, start);
}

qint32 ReadU24(std::span<const quint8> buffer, qsizetype start)
{
    return qint32(ReadLittleEndian(buffer, start, 3));
}

qint32 ReadU32Clamp(std::span<const quint8> buffer, qsizetype start)
{
    return ReadClamped<qint32>(buffer, start);
}

float ReadTenths14(std::span<const quint8> buffer, qsizetype start)
{
    const auto field = FieldAt(buffer, start, 2);
    if (field.empty())
        return 0;
    const quint8 high = field[0];
    const int magnitude = (high & 0x40 ? 8192 : 0) + (high & 0x1F) * 256 + field[1];
    return float(high & 0x20 ? -magnitude : magnitude) / 10;
}

bool WriteU16(std::span<quint8> buffer, qsizetype start, int value)
{
    return WriteLittleEndian(buffer, start, 2, quint32(std::clamp(value, 0, 0xFFFF)));
}

bool WriteU32(std::span<quint8> buffer, qsizetype start, qint32 value)
{
    return WriteLittleEndian(buffer, start, 4, quint32(value));
}
