#pragma once

#include <QtGlobal>

#include <cstddef>
#include <span>

// Every codec reaches its bytes through these helpers, so no offset or byte value from
// a unit can lead outside the buffer it was given.

// The length bytes at start, or an empty span when they do not all lie inside the buffer.
template <typename Byte> std::span<Byte> FieldAt(std::span<Byte> buffer, qsizetype start, qsizetype length)
{
    if (start < 0 || length <= 0 || std::size_t(start) > buffer.size() ||
        std::size_t(length) > buffer.size() - std::size_t(start))
        return {};
    return buffer.subspan(std::size_t(start), std::size_t(length));
}

// The byte at offset; 0 when it lies outside the buffer.
inline quint8 ByteAt(std::span<const quint8> buffer, qsizetype offset)
{
    const auto field = FieldAt(buffer, offset, 1);
    return field.empty() ? 0 : field[0];
}

// The bytes from start to the end of the buffer (empty when start lies outside it).
inline std::span<const quint8> TailAt(std::span<const quint8> buffer, qsizetype start)
{
    if (start < 0 || std::size_t(start) > buffer.size())
        return {};
    return buffer.subspan(std::size_t(start));
}

// The bytes of a zero-terminated field at start, without the 0 byte; the end of the
// buffer ends the field as a 0 byte would.
inline std::span<const quint8> ZeroTerminatedAt(std::span<const quint8> buffer, qsizetype start)
{
    const auto tail = TailAt(buffer, start);
    std::size_t length = 0;
    while (length < tail.size() && tail[length] != 0)
        ++length;
    return tail.first(length);
}

// The little-endian value of up to 4 bytes at start; 0 when they do not fit.
inline quint32 ReadLittleEndian(std::span<const quint8> buffer, qsizetype start, qsizetype length)
{
    const auto field = FieldAt(buffer, start, length);
    quint32 value = 0;
    for (std::size_t i = field.size(); i-- > 0;)
        value = value << 8 | field[i];
    return value;
}

// Writes the low length bytes of value little-endian at start; false, writing nothing,
// when they do not fit.
inline bool WriteLittleEndian(std::span<quint8> buffer, qsizetype start, qsizetype length, quint32 value)
{
    const auto field = FieldAt(buffer, start, length);
    for (quint8& b : field) {
        b = quint8(value);
        value >>= 8;
    }
    return !field.empty();
}
