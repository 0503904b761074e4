#include "device_text.h"
#include "float_codec.h"
#include "frame.h"
#include "hex_text.h"
#include "int_codec.h"
#include "stamp_codec.h"
#include "written_field.h"
#include "zstring.h"

#include <cmath>
#include <limits>
#include <tuple>

namespace {
QDateTime At(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}
} // namespace

TEST(IntCodec, ReadsLittleEndianAndClamps)
{
    const std::tuple<Bytes, qint16, qint32, qint32> cases[] = {
        {{0x34, 0x12, 0x00, 0x00}, 4660, 0x1234, 0x1234},
        {{0xFF, 0x7F, 0x00, 0x00}, 32767, 0x7FFF, 0x7FFF},
        {{0x00, 0x80, 0x00, 0x00}, 32767, 0x8000, 0x8000},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 32767, 0xFFFFFF, 2147483647},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 32767, 0xFFFFFF, 2147483647},
        {{0x00, 0x00, 0x00, 0x80}, 0, 0, 2147483647},
        {{0x78, 0x56, 0x34, 0x12}, 0x5678, 0x345678, 0x12345678},
    };
    for (const auto& [bytes, u16, u24, u32] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        EXPECT_EQ(ReadU16Clamp(bytes, 0), u16);
        EXPECT_EQ(ReadU24(bytes, 0), u24);
        EXPECT_EQ(ReadU32Clamp(bytes, 0), u32);
    }
    EXPECT_EQ(ReadU16Clamp(Bytes{0x00, 0x34, 0x12}, 1), 4660);
}

TEST(IntCodec, ReadsTenths)
{
    const std::tuple<quint8, quint8, float> cases[] = {
        {0x00, 0xFA, 25.0f},    {0x20, 0x0A, -1.0f},   {0x41, 0x00, 844.8f},
        {0x7F, 0xFF, -1638.3f}, {0x5F, 0xFF, 1638.3f}, {0x20, 0x00, 0.0f},
        {0x1F, 0xFF, 819.1f},   {0x40, 0x00, 819.2f},  {0x80, 0xFA, 25.0f}, // bit 7 is not part of the value
    };
    for (const auto& [high, low, value] : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << int(high) << ' ' << int(low));
        EXPECT_FLOAT_EQ(ReadTenths14(Bytes{high, low}, 0), value);
    }
}

TEST(IntCodec, WritesLittleEndian)
{
    // A 4-byte field from value, or a 2-byte one at start.
    const std::tuple<bool, qsizetype, qint32, Bytes> cases[] = {
        {true, 0, -1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {true, 0, 1000, {0xE8, 0x03, 0x00, 0x00}},
        {true, 0, std::numeric_limits<qint32>::min(), {0x00, 0x00, 0x00, 0x80}},
        {false, 0, 0x1234, {0x34, 0x12, 0xA5, 0xA5}},
        {false, 2, 32767, {0xA5, 0xA5, 0xFF, 0x7F}},
        {false, 0, -5, {0x00, 0x00, 0xA5, 0xA5}},
        {false, 0, 70000, {0xFF, 0xFF, 0xA5, 0xA5}},
    };
    for (const auto& [u32, start, value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(
            Written(4, [&](auto b) { return u32 ? WriteU32(b, start, value) : WriteU16(b, start, value); }),
            expected);
    }
}

TEST(IntCodec, BitRoutines)
{
    const std::tuple<quint8, int, quint8> shifts[] = {{0xB5, 3, 0xA8}, {0xB5, -5, 5}, {0xB5, 0, 0xB5},
                                                      {0xFF, 7, 0x80}, {0xFF, -7, 1}, {0xB5, 8, 0},
                                                      {0xB5, -8, 0},   {0xFF, 100, 0}};
    for (const auto& [b, n, expected] : shifts)
        EXPECT_EQ(ShiftByte(b, n), expected) << n;
    for (int n = -1; n <= 16; ++n) {
        const quint8 bit = n >= 0 && n < 8 ? quint8(1 << n) : 0;
        EXPECT_EQ(BitIsSet(0xFF, n), bit != 0) << n;
        EXPECT_FALSE(BitIsSet(quint8(~bit), n)) << n;
        quint8 b = quint8(0x12 & ~bit);
        SetBit(b, n);
        SetBit(b, n);
        EXPECT_EQ(b, 0x12 | bit) << n;
    }
}

TEST(FloatCodec, WritesTheUnitsTruncatedPattern)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const std::pair<double, Bytes> cases[] = {
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
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(Written(4, [&](auto b) { return WriteFloat32(b, 0, value); }), expected);
    }
}

TEST(FloatCodec, ReadsNormalValuesOnly)
{
    const std::pair<Bytes, float> cases[] = {
        {{0x00, 0x00, 0xCC, 0x41}, 25.5f},
        {{0x00, 0x00, 0xC0, 0xBF}, -1.5f},
        {{0x24, 0x52, 0x9A, 0x44}, 1234.5668945f},
        {{0x00, 0x00, 0x80, 0x00}, std::numeric_limits<float>::min()},
        {{0x00, 0x00, 0x00, 0x80}, 0.0f},
        {{0x01, 0x00, 0x00, 0x00}, 0.0f}, // subnormal
        {{0xFF, 0xFF, 0x7F, 0x80}, 0.0f}, // negative subnormal
        {{0x00, 0x00, 0x80, 0x7F}, 0.0f}, // infinity
        {{0x00, 0x00, 0xC0, 0xFF}, 0.0f}, // not a number
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const float value = ReadFloat32(bytes, 0);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(std::signbit(value), std::signbit(expected));
    }
}

TEST(FloatCodec, ReadingWhatWasWrittenGivesTheValueCutTowardZero)
{
    for (double value : {-50.5, -3.3, 0.5, 12.25, 3.3, 999.99, 0.001, 4.2, 123456.789, 33554431.0, 1e20,
                         1638.375, -0.0078125}) {
        SCOPED_TRACE(value);
        Bytes bytes(6, 0);
        ASSERT_TRUE(WriteFloat32(bytes, 1, value));
        const double back = ReadFloat32(bytes, 1);
        EXPECT_EQ(std::signbit(back), std::signbit(value));
        EXPECT_LE(std::fabs(back), std::fabs(value) * (1 + 0x1p-24));
        EXPECT_NEAR(back, value, std::fabs(value) * 0x1p-23);
        if (double(float(value)) == value) {
            EXPECT_EQ(back, value) << "exact in a float";
        }
    }
}

TEST(StampCodec, ReadsFiveByteStampsWithRollOver)
{
    // hour, minute, day, month, year - 2000
    const std::pair<Bytes, QDateTime> cases[] = {
        {{13, 45, 29, 2, 24}, At(2024, 2, 29, 13, 45)},
        {{0, 0, 0, 0, 0}, At(1999, 11, 30, 0, 0)},   // month 0 and day 0 roll back
        {{0, 0, 29, 2, 23}, At(2023, 3, 1, 0, 0)},   // no 29 February in 2023
        {{24, 0, 31, 12, 24}, At(2025, 1, 1, 0, 0)}, // hour 24 runs into the next day
        {{0, 60, 1, 1, 0}, At(2000, 1, 1, 1, 0)},    // minute 60 runs into the next hour
        {{0, 0, 1, 13, 24}, At(2025, 1, 1, 0, 0)},   // month 13 runs into the next year
        {{0, 0, 1, 25, 24}, At(2026, 1, 1, 0, 0)},
        {{3, 30, 31, 3, 24}, At(2024, 3, 31, 3, 30)}, // inside a summer-time gap: still 03:30
        {{255, 255, 255, 255, 255}, At(2276, 11, 20, 19, 15)},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const QDateTime stamp = ReadStamp5(bytes, 0);
        EXPECT_EQ(stamp, expected);
        EXPECT_EQ(stamp.timeSpec(), Qt::UTC);
    }
}

TEST(StampCodec, ReadsFlagAfterStamp)
{
    const std::pair<quint8, bool> flags[] = {{0, false}, {1, true}, {0x80, true}, {0xFF, true}};
    for (const auto& [flag, summerTime] : flags) {
        const Bytes bytes = {9, 0, 13, 2, 24, 13, 45, 29, 2, 24, flag};
        const StampAndFlag record = ReadStampAndFlag(bytes, 5);
        EXPECT_EQ(record.Stamp, At(2024, 2, 29, 13, 45));
        EXPECT_EQ(record.SummerTime, summerTime);
    }
}

TEST(StampCodec, ReadsPackedFourByteStamps)
{
    const std::pair<Bytes, QDateTime> cases[] = {
        {{0x6D, 0x79, 0x0C, 0x18}, At(2024, 12, 25, 13, 43)},
        {{0x6D, 0x79, 0xFC, 0x18}, At(2024, 12, 25, 13, 43)}, // high bits of the month byte ignored
        {{0x00, 0x01, 0x01, 0x00}, At(2000, 1, 1, 0, 0)},
        {{0xBF, 0xFF, 0x0F, 0x00}, At(2001, 4, 1, 0, 3)},  // 31 March 2001 plus 23 h 63 min
        {{0xFF, 0xE0, 0x00, 0x00}, At(1999, 12, 1, 8, 3)}, // day 0 of month 0 plus 31 h 63 min
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(ReadStamp4(bytes, 0), expected) << ::testing::PrintToString(bytes);
}

TEST(FieldBounds, FieldsOutsideTheBufferReadAsNothingAndAreNotWritten)
{
    // Every reader takes these as something wherever its field (a text: its first byte) fits.
    const Bytes bytes = {13, 45, 29, 2, 24, 1};
    const std::tuple<const char*, int, std::function<bool(qsizetype)>> readers[] = {
        {"U16", 2, [&](qsizetype s) { return ReadU16Clamp(bytes, s) == 0; }},
        {"U24", 3, [&](qsizetype s) { return ReadU24(bytes, s) == 0; }},
        {"U32", 4, [&](qsizetype s) { return ReadU32Clamp(bytes, s) == 0; }},
        {"Tenths", 2, [&](qsizetype s) { return ReadTenths14(bytes, s) == 0; }},
        {"Float", 4, [&](qsizetype s) { return ReadFloat32(bytes, s) == 0; }},
        {"Stamp5", 5, [&](qsizetype s) { return ReadStamp5(bytes, s).isNull(); }},
        {"Stamp4", 4, [&](qsizetype s) { return ReadStamp4(bytes, s).isNull(); }},
        {"StampAndFlag", 6,
         [&](qsizetype s) {
             return ReadStampAndFlag(bytes, s).Stamp.isNull() && !ReadStampAndFlag(bytes, s).SummerTime;
         }},
        {"ZString", 1, [&](qsizetype s) { return ReadZString(bytes, s).isEmpty(); }},
        {"DeviceText", 1, [&](qsizetype s) { return DecodeDeviceText(bytes, s).isEmpty(); }},
        {"HexName", 1, [&](qsizetype s) { return HexZString(bytes, s) == "00"; }},
    };
    const std::tuple<const char*, int, std::function<bool(std::span<quint8>, qsizetype)>> writers[] = {
        {"U16", 2, [](auto b, qsizetype s) { return WriteU16(b, s, 1); }},
        {"U32", 4, [](auto b, qsizetype s) { return WriteU32(b, s, 1); }},
        {"Float", 4, [](auto b, qsizetype s) { return WriteFloat32(b, s, 25.5); }},
        {"ZString", 1, [](auto b, qsizetype s) { return WriteZString(b, s, ""); }},
    };
    for (qsizetype start : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 40000}) {
        for (const auto& [name, width, readsNothing] : readers)
            EXPECT_EQ(readsNothing(start), start < 0 || start + width > 6) << name << " at " << start;
        for (const auto& [name, width, write] : writers) {
            SCOPED_TRACE(::testing::Message() << name << " at " << start);
            const bool fits = start >= 0 && start + width <= 6;
            const Bytes after = Written(
                6, [&](auto b) { return write(b, start); }, fits);
            EXPECT_TRUE(fits || after == Bytes(6, kFill)) << "written though it does not fit";
        }
    }
    EXPECT_EQ(ReadU32Clamp({}, 0), 0);
}

TEST(Frame, CompletingClearsUnusedDataAndSetsTheCheckByte)
{
    // The caller's frame holds the command 21 and data 1 to 14 before completion.
    constexpr int kAll = 21 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 6 ^ 7 ^ 8 ^ 9 ^ 10 ^ 11 ^ 12 ^ 13;
    const std::pair<int, Bytes> cases[] = {
        {1, {21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21}},
        {3, {21, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21 ^ 1 ^ 2}},
        {14, {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, kAll}},
        {0, {21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21}}, // clamped to the command byte
        {99, {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, kAll}},
    };
    for (const auto& [dataLength, expected] : cases) {
        RequestFrame frame = {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        CompleteRequestFrame(frame, dataLength);
        EXPECT_EQ(Bytes(frame.begin(), frame.end()), expected) << dataLength;
        EXPECT_EQ(XorOf(frame), 0) << dataLength;
    }
}

TEST(Frame, PayloadCheck)
{
    const std::pair<Bytes, bool> cases[] = {{{}, false},
                                            {{0x00}, true},
                                            {{0x01}, false},
                                            {{0x01, 0x02, 0x03}, true},
                                            {{0x01, 0x02, 0x04}, false},
                                            {{0xFC, 0x10, 0xEC}, true}};
    for (const auto& [payload, ok] : cases)
        EXPECT_EQ(PayloadCheckOk(payload), ok) << ::testing::PrintToString(payload);
}
