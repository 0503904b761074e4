#include "float_codec.h"

#include "field_bytes.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

namespace {
constexpr quint32 kSignBit = 0x80000000u;
constexpr quint32 kLargestMagnitude = 0x7F7FFFFFu;

// The bits of |value| as the unit forms them; value finite and below 2^128.
quint32 TruncatedMagnitudeBits(double magnitude)
{
    char text[64];
    const auto printed = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::fixed, 13);
    char* const point = std::find(text, printed.ptr, '.');
    double integer = 0;
    std::from_chars(text, point, integer);
    // The fraction is parsed as "0.ddd...".
    point[-1] = '0';
    float fraction = 0;
    std::from_chars(point - 1, printed.ptr, fraction);
    if (fraction >= 1.0f) { // fraction digits that round to 1 carry into the integer part
        integer += 1;
        fraction = 0;
    }
    if (integer == 0 && fraction == 0)
        return 0;

    int exponent = 0;
    quint32 significand = 0; // 24 bits, the leading 1 at bit 23
    if (integer >= 1) {
        int integerBits = 0;
        std::frexp(integer, &integerBits);
        exponent = integerBits - 1;
        const int shift = 24 - integerBits;
        significand = quint32(std::ldexp(integer, shift));
        if (shift > 0)
            significand += quint32(std::ldexp(double(fraction), shift));
    } else {
        int fractionExponent = 0;
        std::frexp(fraction, &fractionExponent);
        exponent = fractionExponent - 1;
        significand = quint32(std::ldexp(double(fraction), 23 - exponent));
    }
    if (exponent > 127)
        return kLargestMagnitude;
    return quint32(exponent + 127) << 23 | (significand & 0x7FFFFFu);
}

quint32 UnitFloatBits(double value)
{
    if (std::isnan(value))
        return 0;
    const quint32 sign = std::signbit(value) ? kSignBit : 0;
    const double magnitude = std::fabs(value);
    if (magnitude >= 0x1p128)
        return sign | kLargestMagnitude;
    const quint32 bits = TruncatedMagnitudeBits(magnitude);
    return bits == 0 ? 0 : sign | bits;
}
} // namespace

float ReadFloat32(std::span<const quint8> buffer, qsizetype start)
{
    // A field outside the buffer reads as four zero bytes.
    const quint32 bits = ReadLittleEndian(buffer, start, Float32LE::kSize);
    const quint32 exponentField = bits >> 23 & 0xFF;
    if (exponentField == 0 || exponentField == 0xFF)
        return 0;
    return std::bit_cast<float>(bits);
}

bool WriteFloat32(std::span<quint8> buffer, qsizetype start, double value)
{
    return WriteLittleEndian(buffer, start, Float32LE::kSize, UnitFloatBits(value));
}
