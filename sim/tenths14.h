#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace unitsim {

// A reading in tenths as the unit sends it: bit 6 of the first byte is magnitude bit 13, bit 5
// the sign, bits 4-0 magnitude bits 12-8; the second byte magnitude bits 7-0.
inline void PutTenths14(quint8* at, int tenths)
{
    const int magnitude = std::min(std::abs(tenths), 0x3FFF);
    at[0] = quint8((magnitude >> 8 & 0x1F) | (magnitude & 0x2000 ? 0x40 : 0) | (tenths < 0 ? 0x20 : 0));
    at[1] = quint8(magnitude);
}

} // namespace unitsim
