#include "log_memory.h"

#include "tenths14.h"

#include <QStringList>

namespace unitsim {

namespace {
constexpr quint8 kErased = 0xFF;
constexpr int kCheckAt = kLogBlockBytes - 1;
constexpr int kPageSampleAt = 13, kSampleAt = 9;
constexpr int kEventEntryAt = 7, kEventEntryBytes = 9;
constexpr int kSensorPageSnAt = 2, kEventPageSnAt = 4;
const QDateTime kFirstClock(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);

QDateTime LastSundayOneUtc(int year, int month)
{
    QDate day(year, month, 31);
    while (day.dayOfWeek() != Qt::Sunday)
        day = day.addDays(-1);
    return QDateTime(day, QTime(1, 0), Qt::UTC);
}

void PutLittleEndian(quint8* at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = quint8(value >> (8 * i));
}

// Stamp5 of the wall-clock time, then the summer-time flag.
void PutStampAndFlag(quint8* at, const QDateTime& utc)
{
    bool summer = false;
    const QDateTime wall = UnitWallClock(utc, &summer);
    at[0] = quint8(wall.time().hour());
    at[1] = quint8(wall.time().minute());
    at[2] = quint8(wall.date().day());
    at[3] = quint8(wall.date().month());
    at[4] = quint8(wall.date().year() - 2000);
    at[5] = summer ? 1 : 0;
}

QString Numbers(quint32 sensors, int count)
{
    QStringList out;
    for (int n = 0; n < count; ++n) {
        if (sensors >> n & 1)
            out << QString::number(n + 1);
    }
    return out.join(QLatin1Char(';'));
}
} // namespace

QDateTime UnitWallClock(const QDateTime& utc, bool* summer)
{
    const int year = utc.date().year();
    const bool inSummer = utc >= LastSundayOneUtc(year, 3) && utc < LastSundayOneUtc(year, 10);
    if (summer)
        *summer = inSummer;
    const QDateTime wall = utc.addSecs(inSummer ? 3 * 3600 : 2 * 3600);
    return QDateTime(wall.date(), wall.time(), Qt::UTC);
}

LogMemory::LogMemory()
{
    Clear();
    SetClockAll(kFirstClock);
}

void LogMemory::SetClock(int log, const QDateTime& utc)
{
    QMutexLocker lock(&mutex_);
    logs_[log].clock = utc;
}

void LogMemory::SetClockAll(const QDateTime& utc)
{
    for (int log = 0; log < kLogs; ++log)
        SetClock(log, utc);
}

void LogMemory::SetInterval(int log, int minutes)
{
    QMutexLocker lock(&mutex_);
    logs_[log].interval = minutes;
}

quint8* LogMemory::PageAt(int log, int slot)
{
    return logs_[log].memory.data() + std::size_t(slot) * kLogPageBytes;
}

void LogMemory::SealBlock(int log, int block)
{
    quint8* b = PageAt(log, logs_[log].pointer.writePage) + block * kLogBlockBytes;
    quint8 x = 0;
    for (int i = 0; i < kCheckAt; ++i)
        x ^= b[i];
    b[kCheckAt] = x;
    ++writes_;
}

void LogMemory::AdvancePage(int log)
{
    LogPointerState& p = logs_[log].pointer;
    p.writePage = (p.writePage + 1) % Ring(log);
    ++p.writePageSN;
    p.pageBytesWritten = 0;
    // The unit keeps the page being written and the ring's other pages; once every slot has been
    // used the oldest is the one after the page being written.
    p.oldestPage = p.writePageSN >= quint32(Ring(log)) ? (p.writePage + 1) % Ring(log) : 0;
    std::fill_n(PageAt(log, p.writePage), kLogPageBytes, kErased);
}

void LogMemory::CloseBlock(int log)
{
    LogPointerState& p = logs_[log].pointer;
    if (p.pageBytesWritten % kLogBlockBytes == 0)
        return;
    p.pageBytesWritten = (p.pageBytesWritten / kLogBlockBytes + 1) * kLogBlockBytes;
    if (p.pageBytesWritten == kLogPageBytes)
        AdvancePage(log);
}

void LogMemory::AppendSampleLocked(int sensor, int tenths)
{
    const int log = sensor - 1;
    Log& l = logs_[log];
    const QDateTime t = l.clock;
    l.clock = l.clock.addSecs(qint64(l.interval) * 60);
    LogPointerState& p = l.pointer;
    if (p.pageBytesWritten % kLogBlockBytes != 0 &&
        (l.blockInterval != l.interval ||
         l.blockStart.addSecs(qint64(l.blockSamples) * l.blockInterval * 60) != t))
        CloseBlock(log);
    const int block = p.pageBytesWritten / kLogBlockBytes;
    quint8* b = PageAt(log, p.writePage) + block * kLogBlockBytes;
    int pos = p.pageBytesWritten % kLogBlockBytes;
    if (pos == 0) {
        const int stampAt = block == 0 ? 5 : 1;
        std::fill_n(b, stampAt, quint8(0));
        if (block == 0)
            PutLittleEndian(b + kSensorPageSnAt, p.writePageSN, 3);
        PutStampAndFlag(b + stampAt, t);
        PutLittleEndian(b + stampAt + 6, quint32(l.interval), 2);
        pos = block == 0 ? kPageSampleAt : kSampleAt;
        l.blockStart = t;
        l.blockInterval = l.interval;
        l.blockSamples = 0;
    }
    PutTenths14(b + pos, tenths);
    ++l.blockSamples;
    pos += 2;
    p.pageBytesWritten = block * kLogBlockBytes + (pos == kCheckAt ? kLogBlockBytes : pos);
    SealBlock(log, block);
    samples_.push_back({sensor, UnitWallClock(t), tenths, p.writePageSN, block});
    if (p.pageBytesWritten == kLogPageBytes)
        AdvancePage(log);
}

void LogMemory::AppendSample(int sensor, const QDateTime& utc, int intervalMinutes, int tenths)
{
    QMutexLocker lock(&mutex_);
    Log& l = logs_[sensor - 1];
    l.clock = utc;
    l.interval = intervalMinutes;
    AppendSampleLocked(sensor, tenths);
}

void LogMemory::AppendSamples(int sensor, int count)
{
    QMutexLocker lock(&mutex_);
    for (int k = 0; k < count; ++k)
        AppendSampleLocked(sensor, int((samples_.size() * 37 + quint32(sensor) * 101) % 4000) - 1500);
}

void LogMemory::WriteEvent(quint8 b0, quint8 b1, quint8 b2, WrittenEvent written)
{
    Log& l = logs_[kEventLog];
    const QDateTime t = l.clock;
    l.clock = l.clock.addSecs(qint64(l.interval) * 60);
    LogPointerState& p = l.pointer;
    const int block = p.pageBytesWritten / kLogBlockBytes;
    quint8* b = PageAt(kEventLog, p.writePage) + block * kLogBlockBytes;
    int pos = p.pageBytesWritten % kLogBlockBytes;
    if (pos == 0) {
        std::fill_n(b, kEventEntryAt, quint8(0));
        if (block == 0)
            PutLittleEndian(b + kEventPageSnAt, p.writePageSN, 3);
        pos = kEventEntryAt;
    }
    b[pos] = b0;
    b[pos + 1] = b1;
    b[pos + 2] = b2;
    PutStampAndFlag(b + pos + 3, t);
    pos += kEventEntryBytes;
    p.pageBytesWritten = block * kLogBlockBytes + (pos == kCheckAt ? kLogBlockBytes : pos);
    SealBlock(kEventLog, block);
    written.when = UnitWallClock(t);
    written.pageSN = p.writePageSN;
    written.block = block;
    events_.push_back(written);
    if (p.pageBytesWritten == kLogPageBytes)
        AdvancePage(kEventLog);
}

void LogMemory::AppendSensorEvent(int channel, bool state, int tenths)
{
    QMutexLocker lock(&mutex_);
    quint8 value[2];
    PutTenths14(value, tenths);
    WrittenEvent e;
    e.source = channel;
    e.tenths = tenths;
    e.condition = state ? 1 : 0;
    WriteEvent(quint8(((channel - 1) & 0x1F) | (state ? 0x20 : 0)), value[0], value[1], e);
}

void LogMemory::AppendConditionEvent(quint8 condition)
{
    QMutexLocker lock(&mutex_);
    WrittenEvent e;
    e.source = 21;
    e.condition = condition;
    WriteEvent(0x40, condition, 0, e);
}

void LogMemory::AppendListEvent(int source, quint32 sensors)
{
    QMutexLocker lock(&mutex_);
    WrittenEvent e;
    e.source = source;
    // Source 22 has bits 0-3 of the first byte for sensors 17 to 20; 23 to 25 are chosen by bits
    // 4 (set) and 3-2, which leaves bits 0-1 for sensors 17 and 18.
    const int count = source == 22 ? 20 : 18;
    sensors &= (1u << count) - 1;
    e.numbers = Numbers(sensors, count);
    const quint8 head = source == 22 ? 0x60 : quint8(0x70 | (source - 23) << 2);
    WriteEvent(quint8(head | sensors >> 16), quint8(sensors >> 8), quint8(sensors), e);
}

void LogMemory::AppendEvents(int count)
{
    for (int k = 0; k < count; ++k) {
        const int n = int(Events().size());
        switch (n % 4) {
        case 0:
            AppendSensorEvent(n / 4 % 20 + 1, n / 4 % 2 == 1, (n * 13) % 3000 - 1000);
            break;
        case 1:
            AppendConditionEvent(quint8(n % 10));
            break;
        case 2:
            AppendListEvent(22, quint32(n * 2654435761u) & 0xFFFFF);
            break;
        default:
            AppendListEvent(23 + n / 4 % 3, quint32(n * 40503u) & 0x3FFFF);
            break;
        }
    }
}

void LogMemory::FillPage(int log)
{
    const quint32 page = PointerState(log).writePageSN;
    while (PointerState(log).writePageSN == page) {
        if (log == kEventLog)
            AppendEvents(1);
        else
            AppendSamples(log + 1, 1);
    }
}

void LogMemory::Clear()
{
    QMutexLocker lock(&mutex_);
    for (int log = 0; log < kLogs; ++log) {
        Log& l = logs_[log];
        l.pointer = {};
        l.memory.assign(std::size_t(Ring(log)) * kLogPageBytes, kErased);
        l.blockSamples = 0;
    }
    ++writes_;
}

void LogMemory::CorruptBlock(int log, int slot, int block)
{
    QMutexLocker lock(&mutex_);
    PageAt(log, slot)[block * kLogBlockBytes + kCheckAt] ^= 0xFF;
}

void LogMemory::CorruptNextReads(int count)
{
    QMutexLocker lock(&mutex_);
    corruptReads_ = count;
}

void LogMemory::BeforeNextPageRead(std::function<void(LogMemory&)> action)
{
    QMutexLocker lock(&mutex_);
    beforeRead_ = std::move(action);
}

void LogMemory::SetPointer(int log, const LogPointerState& pointer)
{
    QMutexLocker lock(&mutex_);
    logs_[log].pointer = pointer;
    ++writes_;
}

QByteArray LogMemory::Pointers() const
{
    QByteArray out;
    for (int log = 0; log < kLogs; ++log)
        out += Pointer(log);
    return out;
}

QByteArray LogMemory::Pointer(int log) const
{
    const LogPointerState p = PointerState(log);
    QByteArray out(10, '\0');
    auto* at = reinterpret_cast<quint8*>(out.data());
    PutLittleEndian(at, quint32(p.pageBytesWritten), 2);
    PutLittleEndian(at + 2, quint32(p.oldestPage), 2);
    PutLittleEndian(at + 4, quint32(p.writePage), 2);
    PutLittleEndian(at + 6, p.writePageSN, 4);
    return out;
}

QByteArray LogMemory::ReadHalfPage(int log, int offset, int slot)
{
    std::function<void(LogMemory&)> action;
    {
        QMutexLocker lock(&mutex_);
        std::swap(action, beforeRead_);
    }
    if (action)
        action(*this);
    QMutexLocker lock(&mutex_);
    if (log < 0 || log >= kLogs || (offset != 0 && offset != kLogHalfBytes) || slot < 0 || slot >= Ring(log))
        return {};
    QByteArray half(reinterpret_cast<const char*>(PageAt(log, slot) + offset), kLogHalfBytes);
    if (corruptReads_ > 0) {
        --corruptReads_;
        half[kCheckAt] = char(~half[kCheckAt]);
    }
    return half;
}

LogPointerState LogMemory::PointerState(int log) const
{
    QMutexLocker lock(&mutex_);
    return logs_[log].pointer;
}

std::vector<WrittenSample> LogMemory::Samples(int sensor) const
{
    QMutexLocker lock(&mutex_);
    std::vector<WrittenSample> out;
    for (const WrittenSample& s : samples_) {
        if (s.sensor == sensor)
            out.push_back(s);
    }
    return out;
}

std::vector<WrittenEvent> LogMemory::Events() const
{
    QMutexLocker lock(&mutex_);
    return events_;
}

void LogMemory::Save(QDataStream& out) const
{
    QMutexLocker lock(&mutex_);
    for (const Log& l : logs_) {
        out << qint32(l.pointer.pageBytesWritten) << qint32(l.pointer.oldestPage)
            << qint32(l.pointer.writePage) << l.pointer.writePageSN;
        out << QByteArray::fromRawData(reinterpret_cast<const char*>(l.memory.data()),
                                       qsizetype(l.memory.size()));
        out << l.clock << qint32(l.interval) << l.blockStart << qint32(l.blockInterval)
            << qint32(l.blockSamples);
    }
}

bool LogMemory::Restore(QDataStream& in)
{
    std::array<Log, kLogs> read;
    for (int log = 0; log < kLogs; ++log) {
        Log& l = read[log];
        qint32 bytesWritten = 0, oldest = 0, writePage = 0, interval = 0, blockInterval = 0, blockSamples = 0;
        QByteArray memory;
        in >> bytesWritten >> oldest >> writePage >> l.pointer.writePageSN >> memory >> l.clock >> interval >>
            l.blockStart >> blockInterval >> blockSamples;
        const bool fits = bytesWritten >= 0 && bytesWritten <= kLogPageBytes && oldest >= 0 &&
                          oldest < Ring(log) && writePage >= 0 && writePage < Ring(log) &&
                          memory.size() == Ring(log) * kLogPageBytes && interval >= 1 && blockSamples >= 0;
        if (in.status() != QDataStream::Ok || !fits)
            return false;
        l.pointer = {bytesWritten, oldest, writePage, l.pointer.writePageSN};
        l.memory.assign(memory.cbegin(), memory.cend());
        l.interval = interval;
        l.blockInterval = blockInterval;
        l.blockSamples = blockSamples;
    }
    QMutexLocker lock(&mutex_);
    logs_ = std::move(read);
    samples_.clear();
    events_.clear();
    ++writes_;
    return true;
}

quint64 LogMemory::Writes() const
{
    QMutexLocker lock(&mutex_);
    return writes_;
}

} // namespace unitsim

namespace unitsim {

void PrefillLogs(LogMemory& memory, int sensors, int samplesPerSensor, int events, int intervalMinutes)
{
    for (int n = 1; n <= sensors; ++n) {
        memory.SetInterval(n - 1, intervalMinutes);
        memory.AppendSamples(n, samplesPerSensor);
    }
    memory.AppendEvents(events);
}

} // namespace unitsim
