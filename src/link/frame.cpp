#include "frame.h"

#include <algorithm>

void CompleteRequestFrame(RequestFrame& request, int dataLength)
{
    const int used = std::clamp(dataLength, 1, kRequestFrameSize - 1);
    std::fill(request.begin() + used, request.end() - 1, quint8(0));
    request.back() = XorOf(std::span(request).first(kRequestFrameSize - 1));
}

quint8 XorOf(std::span<const quint8> bytes)
{
    quint8 x = 0;
    for (quint8 b : bytes)
        x ^= b;
    return x;
}

bool PayloadCheckOk(std::span<const quint8> payload)
{
    return !payload.empty() && XorOf(payload.first(payload.size() - 1)) == payload.back();
}
