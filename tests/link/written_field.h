#pragma once

#include <QtGlobal>

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <vector>

using Bytes = std::vector<quint8>;

constexpr quint8 kFill = 0xA5;

// The room bytes, kFill before, after write, which must return ok and leave the guard bytes that follow
// the room alone.
inline Bytes Written(std::size_t room, const std::function<bool(std::span<quint8>)>& write, bool ok = true)
{
    Bytes bytes(room + 16, kFill);
    EXPECT_EQ(write(std::span(bytes).first(room)), ok);
    EXPECT_EQ(Bytes(bytes.begin() + qsizetype(room), bytes.end()), Bytes(16, kFill))
        << "written past the room";
    bytes.resize(room);
    return bytes;
}
