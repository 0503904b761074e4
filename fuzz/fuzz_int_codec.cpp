// Integer, tenths and bit fields at every start index.
#include "fuzz_support.h"
#include "int_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    const std::span<const quint8> buffer(data, size);
    ForEveryStart(buffer, [&](qsizetype start) {
        Require(ReadU16Clamp(buffer, start) >= 0);
        Require(ReadU24(buffer, start) >= 0 && ReadU24(buffer, start) <= 0xFFFFFF);
        Require(ReadU32Clamp(buffer, start) >= 0);
        Require(std::fabs(ReadTenths14(buffer, start)) <= 1638.3f);
    });

    std::vector<quint8> copy = CopyOf(buffer);
    qint32 value = 0; // any 32-bit value, negative ones included
    std::memcpy(&value, data, std::min(size, sizeof value));
    ForEveryStart(buffer, [&](qsizetype start) {
        if (WriteU32(copy, start, value))
            Require(value < 0 || ReadU32Clamp(copy, start) == value);
        if (WriteU16(copy, start, value >> 14))
            Require(ReadU16Clamp(copy, start) == std::clamp(value >> 14, 0, 32767));
    });

    for (quint8 b : buffer) {
        const int n = qint8(b);
        quint8 bits = b;
        SetBit(bits, n);
        Require(BitIsSet(bits, n) == (n >= 0 && n <= 7));
        Require(ShiftByte(b, n) == (n >= 8 || n <= -8 ? 0 : n >= 0 ? quint8(b << n) : b >> -n));
    }
    return 0;
}
