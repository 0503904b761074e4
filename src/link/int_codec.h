#pragma once

#include <QtGlobal>

#include <span>

// Little-endian integer and tenths fields of replies and of the settings image.
// A field that does not lie wholly inside the buffer reads as 0 and is not written;
// the writers return false then.

// Unsigned 16 bits, values above 32767 give 32767.
qint16 ReadU16Clamp(std::span<const quint8> buffer, qsizetype start);
// Unsigned 24 bits.
qint32 ReadU24(std::span<const quint8> buffer, qsizetype start);
// Unsigned 32 bits, values above 2147483647 give 2147483647.
qint32 ReadU32Clamp(std::span<const quint8> buffer, qsizetype start);

// Two bytes: bit 6 of the first is magnitude bit 13, bit 5 the sign, bits 4-0 magnitude
// bits 12-8; the second holds magnitude bits 7-0. The value is the magnitude in tenths.
// Bit 7 of the first byte is ignored.
float ReadTenths14(std::span<const quint8> buffer, qsizetype start);

// value clamped to 0..65535.
bool WriteU16(std::span<quint8> buffer, qsizetype start, int value);
// The 32-bit two's complement of value.
bool WriteU32(std::span<quint8> buffer, qsizetype start, qint32 value);

// Bit numbers outside 0..7 name no bit: never set, never changed.
constexpr bool BitIsSet(quint8 b, int n)
{
    return n >= 0 && n <= 7 && (b >> n) & 1;
}

constexpr void SetBit(quint8& b, int n)
{
    if (n >= 0 && n <= 7)
        b = quint8(b | (1 << n));
}

// n > 0 shifts left keeping the low 8 bits, n < 0 shifts right by -n; a count beyond 7
// shifts every bit out.
constexpr quint8 ShiftByte(quint8 b, int n)
{
    if (n >= 8 || n <= -8)
        return 0;
    return n >= 0 ? quint8(b << n) : quint8(b >> -n);
}
