#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QDateTime>
#include <QMutex>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace unitsim {

constexpr int kLogs = 21;
constexpr int kEventLog = 20;
constexpr int kLogPageBytes = 528;
constexpr int kLogHalfBytes = 264;
constexpr int kLogBlockBytes = 44;
constexpr int kSensorLogPages = 204;
constexpr int kEventLogPages = 16;

// The wall-clock time the unit shows at a moment given in UTC: two hours ahead, three while
// summer time is in force (from the last Sunday of March 01:00 UTC to the last Sunday of October
// 01:00 UTC).
QDateTime UnitWallClock(const QDateTime& utc, bool* summer = nullptr);

// A sample the unit wrote, with where it lies in its log.
struct WrittenSample
{
    int sensor = 0;
    QDateTime when; // the unit's wall-clock time
    int tenths = 0;
    quint32 pageSN = 0;
    int block = 0;
};

// An event the unit wrote, as the server should store it.
struct WrittenEvent
{
    int source = 0;
    QDateTime when;
    int tenths = 0;    // sources 1 to 20
    int condition = 0; // sources 1 to 21
    QString numbers;   // sources 22 to 25
    quint32 pageSN = 0;
    int block = 0;
};

struct LogPointerState
{
    int pageBytesWritten = 0;
    int oldestPage = 0;
    int writePage = 0;
    quint32 writePageSN = 0;
};

// The unit's log memory: 20 sensor record logs of 204 pages and an event log of 16 pages, each
// page 12 blocks of 44 bytes with their check byte, written as the unit writes them, and a record
// of everything written. Safe to use from any thread.
class LogMemory
{
public:
    LogMemory();

    // Writers. Each log has a clock (UTC) and an interval in minutes: a sample or event is
    // stamped at the clock, which then moves on by the interval. A block starts afresh when the
    // interval changes or the clock jumps.
    void SetClock(int log, const QDateTime& utc);
    void SetClockAll(const QDateTime& utc);
    void SetInterval(int log, int minutes);
    // One sample stamped at utc; it continues the block being filled when it lies intervalMinutes
    // after the sample before it.
    void AppendSample(int sensor, const QDateTime& utc, int intervalMinutes, int tenths);
    // count samples of a repeating ramp of values.
    void AppendSamples(int sensor, int count);
    void AppendSensorEvent(int channel, bool state, int tenths);
    void AppendConditionEvent(quint8 condition);
    // sensors: bit n - 1 for sensor n (1 to 20 for source 22, 1 to 18 for 23 to 25).
    void AppendListEvent(int source, quint32 sensors);
    // count events of every kind in turn.
    void AppendEvents(int count);
    // Writes until the page being written is full and the next one begun.
    void FillPage(int log);

    // Faults.
    void Clear();
    // Inverts the check byte of a block in memory.
    void CorruptBlock(int log, int slot, int block);
    // The next count page reads answer with their first block's check byte inverted.
    void CorruptNextReads(int count);
    // Runs once, just before the next page read is answered.
    void BeforeNextPageRead(std::function<void(LogMemory&)> action);
    void SetPointer(int log, const LogPointerState& pointer);

    // What the unit answers: the 21 pointers (210 bytes), one pointer (10 bytes), half a page
    // (264 bytes; empty when the log, offset or slot does not exist).
    QByteArray Pointers() const;
    QByteArray Pointer(int log) const;
    QByteArray ReadHalfPage(int log, int offset, int slot);
    LogPointerState PointerState(int log) const;

    // The record of what was written.
    std::vector<WrittenSample> Samples(int sensor) const;
    std::vector<WrittenEvent> Events() const;

    // What the unit keeps while switched off: the memory, the pointers and each log's clock and
    // block being filled. The record of what was written starts empty after a restore. Restore
    // changes nothing and gives false when the stream holds no saved memory.
    void Save(QDataStream& out) const;
    bool Restore(QDataStream& in);
    // Grows with every write, so that a keeper of the memory saves it only after a change.
    quint64 Writes() const;

private:
    struct Log
    {
        LogPointerState pointer;
        std::vector<quint8> memory;
        QDateTime clock;
        int interval = 1;
        // The block being filled.
        QDateTime blockStart;
        int blockInterval = 0;
        int blockSamples = 0;
    };
    int Ring(int log) const { return log == kEventLog ? kEventLogPages : kSensorLogPages; }
    quint8* PageAt(int log, int slot);
    void SealBlock(int log, int block);
    void AdvancePage(int log);
    void CloseBlock(int log);
    void WriteEvent(quint8 b0, quint8 b1, quint8 b2, WrittenEvent written);
    void AppendSampleLocked(int sensor, int tenths);

    mutable QMutex mutex_;
    std::array<Log, kLogs> logs_;
    std::vector<WrittenSample> samples_;
    std::vector<WrittenEvent> events_;
    int corruptReads_ = 0;
    quint64 writes_ = 0;
    std::function<void(LogMemory&)> beforeRead_;
};

} // namespace unitsim

namespace unitsim {

// Writes samplesPerSensor samples into the logs of sensors 1 to sensors, one sensor after the
// other, at intervalMinutes from the first clock, then events into the event log. The same
// arguments always write the same memory and record.
void PrefillLogs(LogMemory& memory, int sensors, int samplesPerSensor, int events, int intervalMinutes);

} // namespace unitsim
