#include "logged_values.h"

#include "log_block.h"

#include <link/int_codec.h>
#include <link/stamp_codec.h>

namespace {
constexpr quint8 kEmpty = 0xFF;
constexpr LogEntryLayout SampleBlock{.firstOfPage = 13, .first = 9, .last = 41, .step = 2, .size = 2};
// Header fields: stamp and flag, then the interval, in the page's first block and in the others.
constexpr int kPageStampAt = 5, kPageIntervalAt = 11;
constexpr int kStampAt = 1, kIntervalAt = 7;

QDateTime LastSundayAt(int year, int month, int hour)
{
    QDate day(year, month, 31);
    while (day.dayOfWeek() != Qt::Sunday)
        day = day.addDays(-1);
    return QDateTime(day, QTime(hour, 0), Qt::UTC);
}
} // namespace

bool DecodeLoggedValues(std::span<const quint8> half, bool firstHalf, int start, int end,
                        std::vector<LoggedValue>& values)
{
    return VisitLogEntries(half, firstHalf, start, end, SampleBlock, [&](int p) {
        if (half[std::size_t(p)] != kEmpty)
            values.push_back({SampleTimestamp(half, firstHalf, p), ReadTenths14(half, p)});
    });
}

QDateTime SampleTimestamp(std::span<const quint8> half, bool firstHalf, int pos)
{
    int q = 0;
    StampAndFlag stamp;
    int interval = 0;
    if (pos < LogBlock44::kSize - 2 && firstHalf) {
        q = SampleBlock.firstOfPage;
        stamp = ReadStampAndFlag(half, kPageStampAt);
        interval = ReadU16Clamp(half, kPageIntervalAt);
    } else {
        const int base = pos / LogBlock44::kSize * LogBlock44::kSize;
        q = base + SampleBlock.first;
        stamp = ReadStampAndFlag(half, base + kStampAt);
        interval = ReadU16Clamp(half, base + kIntervalAt);
    }
    QDateTime t = stamp.Stamp;
    bool summer = stamp.SummerTime;
    for (; q < pos && t.isValid(); q += SampleBlock.size) {
        t = t.addSecs(qint64(interval) * 60);
        const int year = t.date().year();
        const QDateTime spring = LastSundayAt(year, 3, 3);
        const QDateTime autumn = LastSundayAt(year, 10, 4);
        if (!summer && t >= spring && t < autumn.addSecs(-3600)) {
            summer = true;
            t = t.addSecs(3600);
        } else if (summer && t >= autumn) {
            summer = false;
            t = t.addSecs(-3600);
        }
    }
    return t;
}
