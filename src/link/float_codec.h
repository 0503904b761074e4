#pragma once

#include <QtGlobal>

#include <span>

// IEEE-754 single precision stored little-endian in 4 bytes, as the settings image holds
// limits and calibrations.
namespace Float32LE {
constexpr qsizetype kSize = 4;
} // namespace Float32LE

// Exponent field 0 (zero and subnormals) and 255 (infinities, not-a-number) read as 0,
// and so does a field that does not lie wholly inside the buffer.
float ReadFloat32(std::span<const quint8> buffer, qsizetype start);

// Writes the pattern the unit itself stores: the decimal fraction (13 digits) rounded to
// single precision on its own, then the whole value cut, not rounded, to 24 significant
// bits. A magnitude below 0.00000000000005 and not-a-number write 0; magnitudes of 2^128
// and above write the largest single. Writes nothing and returns false when the 4 bytes
// do not fit.
bool WriteFloat32(std::span<quint8> buffer, qsizetype start, double value);
