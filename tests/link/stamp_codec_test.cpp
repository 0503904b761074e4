#include "stamp_codec.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<quint8>;

namespace {
QDateTime At(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}
} // namespace

TEST(StampCodec, ReadsFiveByteStampsWithRollOver)
{
    struct Case
    {
        Bytes bytes; // hour, minute, day, month, year - 2000
        QDateTime expected;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        const QDateTime stamp = ReadStamp5(c.bytes, 0);
        EXPECT_EQ(stamp, c.expected);
        EXPECT_EQ(stamp.timeSpec(), Qt::UTC);
    }
}

TEST(StampCodec, ReadsFlagAfterStamp)
{
    struct Case
    {
        quint8 flag;
        bool summerTime;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{0x80, true}, Case{0xFF, true}}) {
        const Bytes bytes = {9, 0, 13, 2, 24, 13, 45, 29, 2, 24, c.flag};
        const StampAndFlag record = ReadStampAndFlag(bytes, 5);
        EXPECT_EQ(record.Stamp, At(2024, 2, 29, 13, 45));
        EXPECT_EQ(record.SummerTime, c.summerTime);
    }
}

TEST(StampCodec, ReadsPackedFourByteStamps)
{
    struct Case
    {
        Bytes bytes;
        QDateTime expected;
    };
    const Case cases[] = {
        {{0x6D, 0x79, 0x0C, 0x18}, At(2024, 12, 25, 13, 43)},
        {{0x6D, 0x79, 0xFC, 0x18}, At(2024, 12, 25, 13, 43)}, // high bits of the month byte ignored
        {{0x00, 0x01, 0x01, 0x00}, At(2000, 1, 1, 0, 0)},
        {{0xBF, 0xFF, 0x0F, 0x00}, At(2001, 4, 1, 0, 3)},  // 31 March 2001 plus 23 h 63 min
        {{0xFF, 0xE0, 0x00, 0x00}, At(1999, 12, 1, 8, 3)}, // day 0 of month 0 plus 31 h 63 min
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(ReadStamp4(c.bytes, 0), c.expected);
    }
}

TEST(StampCodec, StampsOutsideTheBufferReadAsNull)
{
    struct Case
    {
        qsizetype start;
        bool stamp5Fits;
        bool stamp4Fits;
    };
    const Bytes bytes = {13, 45, 29, 2, 24, 1};
    const Case cases[] = {{-1, false, false}, {1, true, true},   {2, false, true},     {3, false, false},
                          {6, false, false},  {7, false, false}, {40000, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(ReadStamp5(bytes, c.start).isNull(), !c.stamp5Fits);
        EXPECT_EQ(ReadStamp4(bytes, c.start).isNull(), !c.stamp4Fits);
        EXPECT_TRUE(ReadStampAndFlag(bytes, c.start).Stamp.isNull());
        EXPECT_FALSE(ReadStampAndFlag(bytes, c.start).SummerTime);
    }
}
