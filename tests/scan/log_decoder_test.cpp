#include <link/frame.h>
#include <scan/event_records.h>
#include <scan/log_block.h>
#include <scan/log_pointers.h>
#include <scan/logged_values.h>

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

namespace {
using Half = std::array<quint8, kLogHalfPage>;

void Seal(Half& half, int block)
{
    quint8* b = half.data() + block * LogBlock44::kSize;
    b[43] = XorOf(std::span<const quint8>(b, 43));
}

void PutStamp(quint8* at, int year, int month, int day, int hour, int minute, bool summer)
{
    at[0] = quint8(hour);
    at[1] = quint8(minute);
    at[2] = quint8(day);
    at[3] = quint8(month);
    at[4] = quint8(year - 2000);
    at[5] = summer ? 1 : 0;
}

// A sensor log half page with every sample slot holding its own index (tenths 0, 1, ...), block
// stamps 1 May 2024 10:40 (summer time) + 1 hour per block, interval 5 minutes, all blocks sealed.
Half SampleHalf(bool firstHalf)
{
    Half h;
    h.fill(0);
    int value = 0;
    for (int b = 0; b < 6; ++b) {
        quint8* blk = h.data() + b * LogBlock44::kSize;
        const bool pageHead = b == 0 && firstHalf;
        const int stampAt = pageHead ? 5 : 1;
        PutStamp(blk + stampAt, 2024, 5, 1, 10 + b, 40, true);
        blk[stampAt + 6] = 5;
        for (int p = pageHead ? 13 : 9; p <= 41; p += 2) {
            blk[p] = quint8(value >> 8);
            blk[p + 1] = quint8(value);
            ++value;
        }
        Seal(h, b);
    }
    return h;
}

// An event entry: the first three bytes and 2 March 2025 08:15 (summer flag set, which is dropped).
void PutEvent(Half& h, int at, quint8 b0, quint8 b1, quint8 b2)
{
    h[at] = b0;
    h[at + 1] = b1;
    h[at + 2] = b2;
    PutStamp(h.data() + at + 3, 2025, 3, 2, 8, 15, true);
}
} // namespace

TEST(LoggedValues, TakesTheSamplesBetweenStartAndEnd)
{
    struct Case
    {
        bool firstHalf;
        int start, end;
        size_t count;
        int first; // tenths of the first sample taken; the others follow one by one
    } cases[] = {
        {true, 0, 264, 100, 0},  {false, 0, 264, 102, 0},
        {true, 35, 264, 89, 11}, // block 0 from 35: samples 11-14, then block 1
        {true, 0, 57, 17, 0},    // blocks 0 and 1: 15 + samples at 9 and 11
        {true, 264, 264, 0, 0},  {false, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        std::vector<LoggedValue> values;
        EXPECT_FALSE(DecodeLoggedValues(SampleHalf(c.firstHalf), c.firstHalf, c.start, c.end, values));
        ASSERT_EQ(values.size(), c.count);
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_FLOAT_EQ(values[i].Value, float(c.first + int(i)) / 10);
    }
}

TEST(LoggedValues, SkipsEmptySamplesAndBadBlocksKeepingTimesByPosition)
{
    Half h = SampleHalf(false);
    h[9 + 2] = 0xFF; // block 0, second sample
    Seal(h, 0);
    h[44 + 43] ^= 1; // block 1 fails
    std::vector<LoggedValue> values;
    EXPECT_TRUE(DecodeLoggedValues(h, false, 0, 264, values));
    ASSERT_EQ(values.size(), 102u - 1 - 17);
    EXPECT_EQ(values[0].When, QDateTime(QDate(2024, 5, 1), QTime(10, 40), Qt::UTC));
    EXPECT_EQ(values[1].When, QDateTime(QDate(2024, 5, 1), QTime(10, 50), Qt::UTC)); // third sample
    EXPECT_FLOAT_EQ(values[1].Value, 0.2f);
    EXPECT_FLOAT_EQ(values[16].Value, 3.4f); // block 2 follows block 0
}

TEST(LoggedValues, SampleTimestampStepsThroughSummerTime)
{
    struct Case
    {
        int year, month, day, hour, minute;
        bool summer;
        int interval;
        const char* times; // of the samples, the last one with its date
    } cases[] = {
        {2024, 3, 31, 1, 30, false, 60, "01:30 02:30 04:30 2024-03-31 05:30"},
        {2024, 10, 27, 2, 30, true, 60, "02:30 03:30 03:30 2024-10-27 04:30"},
        {2024, 5, 15, 10, 0, false, 30, "10:00 2024-05-15 11:30"},
        {2024, 12, 31, 23, 30, false, 30, "23:30 2025-01-01 00:00"},
    };
    for (const Case& c : cases) {
        Half h;
        h.fill(0);
        PutStamp(h.data() + 44 + 1, c.year, c.month, c.day, c.hour, c.minute, c.summer);
        h[44 + 7] = quint8(c.interval);
        const QStringList expected = QString::fromLatin1(c.times).split(QLatin1Char(' '));
        QStringList times;
        for (int k = 0; k < expected.size() - 1; ++k)
            times << SampleTimestamp(h, true, 44 + 9 + 2 * k).toString(QStringLiteral("HH:mm"));
        times.insert(times.size() - 1, SampleTimestamp(h, true, 44 + 9 + 2 * (expected.size() - 2))
                                           .toString(QStringLiteral("yyyy-MM-dd")));
        EXPECT_EQ(times, expected);
    }
    // The page's first block has its stamp at 5 and interval at 11.
    Half h;
    h.fill(0);
    PutStamp(h.data() + 5, 2024, 5, 1, 12, 0, true);
    h[11] = 15;
    EXPECT_EQ(SampleTimestamp(h, true, 17), QDateTime(QDate(2024, 5, 1), QTime(12, 30), Qt::UTC));
}

TEST(EventRecords, DecodesEveryKindOfEntry)
{
    struct Case
    {
        quint8 b0, b1, b2;
        int source;
        float value;
        int condition;
        QString info1;
    } cases[] = {
        {0x02, 0x00, 0x7B, 3, 12.3f, 0, {}},
        {0x23, 0x20, 0x05, 4, -0.5f, 1, {}},
        {0x1F, 0x00, 0x00, 32, 0, 0, {}},
        {0x40, 0x07, 0x00, 21, 0, 7, {}},
        {0x60, 0x00, 0x00, 22, 0, 0, QString()},
        {0x6B, 0x81, 0x01, 22, 0, 0, QStringLiteral("1;9;16;17;18;20")},
        {0x71, 0x00, 0x02, 23, 0, 0, QStringLiteral("2;17")},
        {0x76, 0x80, 0x00, 24, 0, 0, QStringLiteral("16;18")},
        {0x78, 0x00, 0x01, 25, 0, 0, QStringLiteral("1")},
        {0x7C, 0xFF, 0xFF, 26, 0, 0, QString()},
    };
    for (const Case& c : cases) {
        std::array<quint8, 9> entry{c.b0, c.b1, c.b2, 8, 15, 2, 3, 25, 1};
        const EventRecord r = DecodeEventEntry(entry);
        EXPECT_EQ(
            std::tuple(r.Source, r.Condition, r.Info1, r.When),
            std::tuple(c.source, c.condition, c.info1, QDateTime(QDate(2025, 3, 2), QTime(8, 15), Qt::UTC)))
            << int(c.b0);
        EXPECT_FLOAT_EQ(r.Value, c.value) << int(c.b0);
    }
}

TEST(EventRecords, TakesEntriesBetweenStartAndEndAndSkipsEmptyOnesAndBadBlocks)
{
    Half h;
    h.fill(0xFF);
    for (int b = 0; b < 6; ++b) {
        std::fill_n(h.data() + b * 44, 7, quint8(0));
        for (int e = 0; e < 4; ++e)
            PutEvent(h, b * 44 + 7 + 9 * e, quint8(b * 4 + e), 0, 1);
        Seal(h, b);
    }
    auto sources = [&](int start, int end, bool* bad = nullptr) {
        std::vector<EventRecord> records;
        const bool failed = DecodeEventRecords(h, true, start, end, records);
        if (bad)
            *bad = failed;
        std::vector<int> out;
        for (const EventRecord& r : records)
            out.push_back(r.Source);
        return out;
    };
    EXPECT_EQ(sources(0, 264).size(), 24u);
    EXPECT_EQ(sources(0, 16), (std::vector<int>{1}));
    EXPECT_EQ(sources(0, 15), (std::vector<int>{}));
    EXPECT_EQ(sources(16, 44 + 16), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(sources(264, 264), (std::vector<int>{}));

    PutEvent(h, 44 + 16, 0xFF, 0, 0); // block 1, entry 2 empty
    Seal(h, 1);
    h[2 * 44 + 43] ^= 0x10; // block 2 fails
    bool bad = false;
    const auto taken = sources(44, 3 * 44, &bad);
    EXPECT_TRUE(bad);
    EXPECT_EQ(taken, (std::vector<int>{5, 7, 8}));
}

TEST(LogPointers, SlotsPagesAndTheNewDataTest)
{
    const std::array<quint8, 10> wire{44, 0, 9, 0, 2, 0, 0xE8, 0x03, 0, 0};
    const LogPointer p = ReadLogPointer(wire, 0);
    EXPECT_EQ(p.PageBytesWritten, 44);
    EXPECT_EQ(p.OldestPage, 9);
    EXPECT_EQ(p.WritePage, 2);
    EXPECT_EQ(p.WritePageSN, 1000);
    EXPECT_EQ(OldestPageNumber(p, kEventLogRing), 991);
    EXPECT_EQ(SlotOfPage(p, 999, kEventLogRing), 1);
    EXPECT_EQ(SlotOfPage(p, 997, kEventLogRing), 15);
    EXPECT_EQ(SlotOfPage(p, 997, kSensorLogRing), 203);

    struct Case
    {
        LogPointer p;
        LogCounters c;
        bool fresh, resync;
    } cases[] = {
        {{100, 0, 0, 0}, {0, 0, 0}, true, true},
        {{0, 0, 0, 0}, {0, 0, 0}, false, true},
        {{0, 0, 8, 8}, {7, 528, 50}, false, false},
        {{44, 0, 8, 8}, {7, 528, 50}, true, false},
        {{0, 0, 8, 8}, {7, 300, 50}, true, false},
        {{300, 0, 8, 8}, {8, 300, 50}, false, false},
        {{301, 0, 8, 8}, {8, 300, 50}, true, false},
        {{10, 0, 0, 216}, {200, 44, 9}, true, true},  // 16 behind: the event ring lapped
        {{10, 0, 0, 215}, {200, 44, 9}, true, false}, // 15 behind
        {{10, 0, 0, 5}, {200, 44, 9}, true, true},    // memory cleared
        {{10, 0, 0, 200}, {200, 44, 9}, true, true},  // cleared and refilled to the same page
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LogHasNewData(c.p, c.c), c.fresh) << c.p.WritePageSN << " " << c.c.LastPageSN;
        EXPECT_EQ(LogNeedsResync(c.p, c.c, kEventLogRing), c.resync)
            << c.p.WritePageSN << " " << c.c.LastPageSN;
    }
    EXPECT_FALSE(LogNeedsResync({0, 0, 0, 1203}, {1000, 44, 1}, kSensorLogRing));
    EXPECT_TRUE(LogNeedsResync({0, 0, 0, 1204}, {1000, 44, 1}, kSensorLogRing));
    EXPECT_FALSE(LogPointerInRange({529, 0, 0, 0}, kSensorLogRing));
    EXPECT_FALSE(LogPointerInRange({0, 16, 0, 0}, kEventLogRing));
    EXPECT_FALSE(LogPointerInRange({0, 0, 204, 0}, kSensorLogRing));
    EXPECT_TRUE(LogPointerInRange({528, 203, 15, 0}, kSensorLogRing));
}
