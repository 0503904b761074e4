// Float fields at every start index, and the writer on arbitrary doubles.
#include "float_codec.h"
#include "fuzz_support.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    const std::span<const quint8> buffer(data, size);
    ForEveryStart(buffer, [&](qsizetype start) { Require(std::isfinite(ReadFloat32(buffer, start))); });

    if (size < sizeof(double))
        return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    std::vector<quint8> copy = CopyOf(buffer);
    ForEveryStart(buffer, [&](qsizetype start) {
        if (!WriteFloat32(copy, start, value))
            return;
        const double back = ReadFloat32(copy, start);
        if (std::isnan(value)) {
            Require(back == 0);
        } else if (std::fabs(value) < 0x1p128) {
            // Cut toward zero to 24 bits, after the fraction was rounded to 13 digits and
            // then to single precision on its own.
            Require(back == 0 || std::signbit(back) == std::signbit(value));
            Require(std::fabs(back - value) <= std::fabs(value) * 0x1p-22 + 1e-13);
        }
    });
    return 0;
}
