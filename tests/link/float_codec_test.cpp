#include "float_codec.h"
#include "guarded_buffer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

using Bytes = std::vector<quint8>;

namespace {
Bytes Written(double value)
{
    Bytes bytes(4, 0xA5);
    EXPECT_TRUE(WriteFloat32(bytes, 0, value));
    return bytes;
}
} // namespace

TEST(FloatCodec, WritesTheUnitsTruncatedPattern)
{
    struct Case
    {
        double value;
        Bytes expected;
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {25.5, {0x00, 0x00, 0xCC, 0x41}},
        {-1.5, {0x00, 0x00, 0xC0, 0xBF}},
        {0.1, {0xCD, 0xCC, 0xCC, 0x3D}},
        {-0.1, {0xCD, 0xCC, 0xCC, 0xBD}},
        {1234.567, {0x24, 0x52, 0x9A, 0x44}},  // round-to-nearest would end in 0x25
        {1000000.1, {0x01, 0x24, 0x74, 0x49}}, // likewise
        {16777219, {0x01, 0x00, 0x80, 0x4B}},  // 25 bits cut, not rounded
        {0.3333333333333, {0xAB, 0xAA, 0xAA, 0x3E}},
        {-40, {0x00, 0x00, 0x20, 0xC2}},
        {0.005, {0x0A, 0xD7, 0xA3, 0x3B}},
        {0, {0x00, 0x00, 0x00, 0x00}},
        {-0.0, {0x00, 0x00, 0x00, 0x00}},
        {0.00000000000001, {0x00, 0x00, 0x00, 0x00}},
        {-0.00000000000001, {0x00, 0x00, 0x00, 0x00}},
        // Fraction digits that round to 1 carry into the integer part.
        {5.99999999, {0x00, 0x00, 0xC0, 0x40}},
        {0.99999999, {0x00, 0x00, 0x80, 0x3F}},
        {-0.99999999, {0x00, 0x00, 0x80, 0xBF}},
        {std::nan(""), {0x00, 0x00, 0x00, 0x00}},
        {infinity, {0xFF, 0xFF, 0x7F, 0x7F}},
        {-infinity, {0xFF, 0xFF, 0x7F, 0xFF}},
        {1e39, {0xFF, 0xFF, 0x7F, 0x7F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Written(c.value), c.expected);
    }
}

TEST(FloatCodec, ReadsNormalValuesOnly)
{
    struct Case
    {
        Bytes bytes;
        float expected;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0xCC, 0x41}, 25.5f},
        {{0x00, 0x00, 0xC0, 0xBF}, -1.5f},
        {{0x24, 0x52, 0x9A, 0x44}, std::bit_cast<float>(0x449A5224u)}, // 1234.5668945
        {{0x00, 0x00, 0x80, 0x00}, std::numeric_limits<float>::min()},
        {{0x00, 0x00, 0x00, 0x80}, 0.0f},
        {{0x01, 0x00, 0x00, 0x00}, 0.0f}, // subnormal
        {{0xFF, 0xFF, 0x7F, 0x80}, 0.0f}, // negative subnormal
        {{0x00, 0x00, 0x80, 0x7F}, 0.0f}, // infinity
        {{0x00, 0x00, 0xC0, 0xFF}, 0.0f}, // not a number
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        const float value = ReadFloat32(c.bytes, 0);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected));
    }
    EXPECT_NEAR(ReadFloat32(Bytes{0x24, 0x52, 0x9A, 0x44}, 0), 1234.5668945, 1e-7);
}

TEST(FloatCodec, ReadingWhatWasWrittenGivesTheValueCutTowardZero)
{
    for (double value : {-50.5, -3.3, 0.5, 12.25, 3.3, 999.99, 0.001, 4.2, 123456.789, 33554431.0, 1e20}) {
        SCOPED_TRACE(value);
        Bytes bytes(6, 0);
        ASSERT_TRUE(WriteFloat32(bytes, 1, value));
        const double back = ReadFloat32(bytes, 1);
        EXPECT_EQ(std::signbit(back), std::signbit(value));
        EXPECT_LE(std::fabs(back), std::fabs(value) * (1 + 0x1p-24));
        EXPECT_NEAR(back, value, std::fabs(value) * 0x1p-23);
    }
    for (double exact : {-50.5, 0.5, 12.25, 1638.375, -0.0078125}) {
        EXPECT_EQ(ReadFloat32(Written(exact), 0), exact);
    }
}

TEST(FloatCodec, FieldsOutsideTheBufferReadAsZeroAndAreNotWritten)
{
    const Bytes bytes = {0x00, 0x00, 0xCC, 0x41};
    for (qsizetype start : {-1, 1, 3, 4, 40000}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(ReadFloat32(bytes, start), 0.0f);
        GuardedBuffer buffer(4);
        EXPECT_FALSE(WriteFloat32(buffer.Visible(), start, 25.5));
        EXPECT_TRUE(buffer.Untouched());
    }
    GuardedBuffer buffer(4);
    EXPECT_TRUE(WriteFloat32(buffer.Visible(), 0, 0.0));
    EXPECT_TRUE(buffer.GuardIntact());
}
