#pragma once

#include <QtGlobal>

#include <cstdlib>
#include <span>
#include <vector>

// A broken property is a finding: stop so that libFuzzer keeps the input.
inline void Require(bool property)
{
    if (!property)
        std::abort();
}

// Calls visit(start) for every start index from just before the buffer to just past it.
template <typename Visit> void ForEveryStart(std::span<const quint8> buffer, Visit visit)
{
    for (qsizetype start = -2; start <= qsizetype(buffer.size()) + 2; ++start)
        visit(start);
}

// A heap copy of exactly the input's size, so that a write past its end is caught.
inline std::vector<quint8> CopyOf(std::span<const quint8> bytes)
{
    return {bytes.begin(), bytes.end()};
}
