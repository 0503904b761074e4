#include "guarded_buffer.h"
#include "int_codec.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

using Bytes = std::vector<quint8>;

TEST(IntCodec, ReadsLittleEndianAndClamps)
{
    struct Case
    {
        Bytes bytes;
        qint16 u16;
        qint32 u24;
        qint32 u32;
    };
    const Case cases[] = {
        {{0x34, 0x12, 0x00, 0x00}, 4660, 0x1234, 0x1234},
        {{0xFF, 0x7F, 0x00, 0x00}, 32767, 0x7FFF, 0x7FFF},
        {{0x00, 0x80, 0x00, 0x00}, 32767, 0x8000, 0x8000},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 32767, 0xFFFFFF, 2147483647},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 32767, 0xFFFFFF, 2147483647},
        {{0x00, 0x00, 0x00, 0x80}, 0, 0, 2147483647},
        {{0x78, 0x56, 0x34, 0x12}, 0x5678, 0x345678, 0x12345678},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(ReadU16Clamp(c.bytes, 0), c.u16);
        EXPECT_EQ(ReadU24(c.bytes, 0), c.u24);
        EXPECT_EQ(ReadU32Clamp(c.bytes, 0), c.u32);
    }
    const Bytes shifted = {0x00, 0x34, 0x12};
    EXPECT_EQ(ReadU16Clamp(shifted, 1), 4660);
}

TEST(IntCodec, ReadsTenths)
{
    struct Case
    {
        quint8 high;
        quint8 low;
        float value;
    };
    const Case cases[] = {
        {0x00, 0xFA, 25.0f},    {0x20, 0x0A, -1.0f},   {0x41, 0x00, 844.8f},
        {0x7F, 0xFF, -1638.3f}, {0x5F, 0xFF, 1638.3f}, {0x20, 0x00, 0.0f},
        {0x1F, 0xFF, 819.1f},   {0x40, 0x00, 819.2f},  {0x80, 0xFA, 25.0f}, // bit 7 is not part of the value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << int(c.high) << ' ' << int(c.low));
        EXPECT_FLOAT_EQ(ReadTenths14(Bytes{c.high, c.low}, 0), c.value);
    }
}

TEST(IntCodec, WritesLittleEndian)
{
    struct Case
    {
        std::function<bool(std::span<quint8>)> write;
        Bytes expected;
    };
    const Case cases[] = {
        {[](auto b) { return WriteU32(b, 0, -1); }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {[](auto b) { return WriteU32(b, 0, 1000); }, {0xE8, 0x03, 0x00, 0x00}},
        {[](auto b) { return WriteU32(b, 0, std::numeric_limits<qint32>::min()); }, {0x00, 0x00, 0x00, 0x80}},
        {[](auto b) { return WriteU16(b, 0, 0x1234); }, {0x34, 0x12, 0xA5, 0xA5}},
        {[](auto b) { return WriteU16(b, 2, 32767); }, {0xA5, 0xA5, 0xFF, 0x7F}},
        {[](auto b) { return WriteU16(b, 0, -5); }, {0x00, 0x00, 0xA5, 0xA5}},
        {[](auto b) { return WriteU16(b, 0, 70000); }, {0xFF, 0xFF, 0xA5, 0xA5}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        GuardedBuffer buffer(4);
        EXPECT_TRUE(cases[i].write(buffer.Visible()));
        EXPECT_EQ(Bytes(buffer.Visible().begin(), buffer.Visible().end()), cases[i].expected);
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(IntCodec, FieldsOutsideTheBufferReadAsZeroAndAreNotWritten)
{
    const Bytes bytes = {0xFF, 0xFF, 0xFF, 0xFF};
    for (qsizetype start : {-1, 3, 4, 5, 40000}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(ReadU16Clamp(bytes, start), 0);
        EXPECT_EQ(ReadTenths14(bytes, start), 0.0f);
    }
    for (qsizetype start : {-1, 2, 4, 40000}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(ReadU24(bytes, start), 0);
    }
    for (qsizetype start : {-1, 1, 4}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(ReadU32Clamp(bytes, start), 0);
    }
    EXPECT_EQ(ReadU32Clamp(std::span<const quint8>(), 0), 0);

    for (qsizetype start : {-1, 1, 3, 4, 40000}) {
        SCOPED_TRACE(start);
        GuardedBuffer buffer(4);
        EXPECT_FALSE(WriteU32(buffer.Visible(), start, 1));
        EXPECT_EQ(WriteU16(buffer.Visible(), start, 1), start == 1);
        buffer.Visible()[1] = buffer.Visible()[2] = GuardedBuffer::kFill;
        EXPECT_TRUE(buffer.Untouched());
    }
}

TEST(IntCodec, BitRoutines)
{
    struct Shift
    {
        quint8 b;
        int n;
        quint8 expected;
    };
    const Shift shifts[] = {
        {0xB5, 3, 0xA8}, {0xB5, -5, 5}, {0xB5, 0, 0xB5}, {0xFF, 7, 0x80},
        {0xFF, -7, 1},   {0xB5, 8, 0},  {0xB5, -8, 0},   {0xFF, 100, 0},
    };
    for (const Shift& s : shifts) {
        SCOPED_TRACE(s.n);
        EXPECT_EQ(ShiftByte(s.b, s.n), s.expected);
    }

    for (int n = 0; n < 8; ++n) {
        EXPECT_TRUE(BitIsSet(quint8(1 << n), n));
        EXPECT_FALSE(BitIsSet(quint8(~(1 << n)), n));
        quint8 b = 0;
        SetBit(b, n);
        EXPECT_EQ(b, 1 << n);
        SetBit(b, n);
        EXPECT_EQ(b, 1 << n);
    }
    for (int n : {-1, 8, 16}) {
        EXPECT_FALSE(BitIsSet(0xFF, n));
        quint8 b = 0x12;
        SetBit(b, n);
        EXPECT_EQ(b, 0x12);
    }
}
