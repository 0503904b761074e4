#pragma once

#include <QtGlobal>

#include <array>
#include <span>

// A unit has 21 logs: log n - 1 records sensor n, log 20 is the event log.
constexpr int kLogCount = 21;
constexpr quint8 kEventLogNumber = 20;
constexpr int kSensorLogRing = 204;
constexpr int kEventLogRing = 16;
constexpr int kLogPointerSize = 10;

// Where the unit is writing one of its logs.
struct LogPointer
{
    qint16 PageBytesWritten = 0;
    qint16 OldestPage = 0;
    qint16 WritePage = 0;
    qint32 WritePageSN = 0;
};

// How far the server has taken a log: the page it is taking, the bytes of it taken, and the
// running number of the last row stored. 0, 0 means nothing taken yet.
struct LogCounters
{
    qint32 LastPageSN = 0;
    qint16 PageBytesTaken = 0;
    qint32 LastRecSN = 0;

    bool operator==(const LogCounters&) const = default;
};

LogPointer ReadLogPointer(std::span<const quint8> buffer, qsizetype start);
// The 21 pointers of a log pointer reply.
std::array<LogPointer, kLogCount> ReadLogPointers(std::span<const quint8> reply);

// Whether the pointer can describe a ring of `ring` pages.
bool LogPointerInRange(const LogPointer& p, int ring);
// The slot holding the page numbered page.
int SlotOfPage(const LogPointer& p, qint32 page, int ring);
// The number of the page in the oldest slot.
qint32 OldestPageNumber(const LogPointer& p, int ring);

// The unit holds less than the counters say were taken: its memory was cleared.
bool LogWasCleared(const LogPointer& p, const LogCounters& c);
// Whether the log holds anything beyond the counters (a cleared log always does: it must be
// found again).
bool LogHasNewData(const LogPointer& p, const LogCounters& c);
// Whether the next read must start over at the oldest page: nothing taken yet, the page being
// taken was reused, or the memory was cleared.
bool LogNeedsResync(const LogPointer& p, const LogCounters& c, int ring);
