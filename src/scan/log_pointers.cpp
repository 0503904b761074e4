#include "log_pointers.h"

#include "log_block.h"

#include <link/int_codec.h>

LogPointer ReadLogPointer(std::span<const quint8> buffer, qsizetype start)
{
    return {ReadU16Clamp(buffer, start), ReadU16Clamp(buffer, start + 2), ReadU16Clamp(buffer, start + 4),
            ReadU32Clamp(buffer, start + 6)};
}

std::array<LogPointer, kLogCount> ReadLogPointers(std::span<const quint8> reply)
{
    std::array<LogPointer, kLogCount> pointers{};
    for (int n = 0; n < kLogCount; ++n)
        pointers[n] = ReadLogPointer(reply, n * kLogPointerSize);
    return pointers;
}

bool LogPointerInRange(const LogPointer& p, int ring)
{
    return p.PageBytesWritten <= kLogPageSize && p.OldestPage < ring && p.WritePage < ring;
}

int SlotOfPage(const LogPointer& p, qint32 page, int ring)
{
    const qint64 slot = p.WritePage - (qint64(p.WritePageSN) - page);
    return int(((slot % ring) + ring) % ring);
}

qint32 OldestPageNumber(const LogPointer& p, int ring)
{
    int d = p.WritePage - p.OldestPage;
    if (d < 0)
        d += ring;
    return p.WritePageSN - d;
}

bool LogWasCleared(const LogPointer& p, const LogCounters& c)
{
    return p.WritePageSN < c.LastPageSN ||
           (p.WritePageSN == c.LastPageSN && p.PageBytesWritten < c.PageBytesTaken);
}

bool LogHasNewData(const LogPointer& p, const LogCounters& c)
{
    const qint64 ahead = qint64(p.WritePageSN) - c.LastPageSN;
    return LogWasCleared(p, c) || ahead > 1 ||
           (ahead == 1 && (c.PageBytesTaken < kLogPageSize || p.PageBytesWritten > 0)) ||
           (ahead == 0 && p.PageBytesWritten > c.PageBytesTaken);
}

bool LogNeedsResync(const LogPointer& p, const LogCounters& c, int ring)
{
    return (c.LastPageSN == 0 && c.PageBytesTaken == 0) || LogWasCleared(p, c) ||
           qint64(p.WritePageSN) - c.LastPageSN >= ring;
}
