#include "event_records.h"

#include "log_block.h"

#include <link/int_codec.h>
#include <link/stamp_codec.h>

#include <QStringList>

namespace {
constexpr quint8 kEmpty = 0xFF;
constexpr int kEntrySize = 9;
constexpr LogEntryLayout EventBlock{.firstOfPage = 7, .first = 7, .last = 34, .step = 9, .size = kEntrySize};
constexpr int kStampAt = 3;
constexpr qint16 kConditionSource = 21;
constexpr qint16 kSensorListSource = 22;

// The numbers 1 to 8 from bits 0-7 of byte 2, 9 to 16 from byte 1 and 17 up from the low
// `highBits` bits of byte 0, joined by ";".
QString SetNumbers(std::span<const quint8> entry, int highBits)
{
    QStringList numbers;
    const quint32 bits =
        quint32(entry[2]) | quint32(entry[1]) << 8 | quint32(entry[0] & ((1 << highBits) - 1)) << 16;
    for (int n = 0; n < 16 + highBits; ++n) {
        if (bits >> n & 1)
            numbers << QString::number(n + 1);
    }
    return numbers.join(QLatin1Char(';'));
}
} // namespace

EventRecord DecodeEventEntry(std::span<const quint8> entry)
{
    EventRecord r;
    r.When = ReadStampAndFlag(entry, kStampAt).Stamp;
    const quint8 head = entry[0];
    switch (head >> 5 & 3) {
    case 0:
    case 1:
        r.Source = qint16((head & 0x1F) + 1);
        r.Value = ReadTenths14(entry, 1);
        r.Condition = BitIsSet(head, 5) ? 1 : 0;
        break;
    case 2:
        r.Source = kConditionSource;
        r.Condition = entry[1];
        break;
    default:
        // Bit 4 clear: the list of sensors, 17 to 20 in bits 0-3; set: bits 3-2 choose 23 to 25,
        // and only bits 0-1 are left for numbers.
        if (!BitIsSet(head, 4)) {
            r.Source = kSensorListSource;
            r.Info1 = SetNumbers(entry, 4);
        } else {
            r.Source = qint16(kSensorListSource + 1 + (head >> 2 & 3));
            if (r.Source <= 25)
                r.Info1 = SetNumbers(entry, 2);
        }
        break;
    }
    return r;
}

bool DecodeEventRecords(std::span<const quint8> half, bool firstHalf, int start, int end,
                        std::vector<EventRecord>& records)
{
    return VisitLogEntries(half, firstHalf, start, end, EventBlock, [&](int p) {
        if (half[std::size_t(p)] != kEmpty)
            records.push_back(DecodeEventEntry(half.subspan(std::size_t(p), kEntrySize)));
    });
}
