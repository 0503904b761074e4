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
    clear();
    setClockAll(kFirstClock);
}

void LogMemory::setClock(int log, const QDateTime& utc)
{
    QMutexLocker lock(&mutex_);
    logs_[log].clock = utc;
}

void LogMemory::setClockAll(const QDateTime& utc)
{
    for (int log = 0; log < kLogs; ++log)
        setClock(log, utc);
}

void LogMemory::setInterval(int log, int minutes)
{
    QMutexLocker lock(&mutex_);
    logs_[log].interval = minutes;
}

quint8* LogMemory::pageAt(int log, int slot)
{
    return logs_[log].memory.data() + std::size_t(slot) * kLogPageBytes;
}

void LogMemory::sealBlock(int log, int block)
{
    quint8* b = pageAt(log, logs_[log].pointer.writePage) + block * kLogBlockBytes;
    quint8 x = 0;
    for (int i = 0; i < kCheckAt; ++i)
        x ^= b[i];
    b[kCheckAt] = x;
}

void LogMemory::advancePage(int log)
{
    LogPointerState& p = logs_[log].pointer;
    p.writePage = (p.writePage + 1) % ring(log);
    ++p.writePageSN;
    p.pageBytesWritten = 0;
    // The unit keeps the page being written and the ring's other pages; once every slot has been
    // used the oldest is the one after the page being written.
    p.oldestPage = p.writePageSN >= quint32(ring(log)) ? (p.writePage + 1) % ring(log) : 0;
    std::fill_n(pageAt(log, p.writePage), kLogPageBytes, kErased);
}

void LogMemory::closeBlock(int log)
{
    LogPointerState& p = logs_[log].pointer;
    if (p.pageBytesWritten % kLogBlockBytes == 0)
        return;
    p.pageBytesWritten = (p.pageBytesWritten / kLogBlockBytes + 1) * kLogBlockBytes;
    if (p.pageBytesWritten == kLogPageBytes)
        advancePage(log);
}

void LogMemory::appendSampleLocked(int sensor, int tenths)
{
    const int log = sensor - 1;
    Log& l = logs_[log];
    const QDateTime t = l.clock;
    l.clock = l.clock.addSecs(qint64(l.interval) * 60);
    LogPointerState& p = l.pointer;
    if (p.pageBytesWritten % kLogBlockBytes != 0 &&
        (l.blockInterval != l.interval ||
         l.blockStart.addSecs(qint64(l.blockSamples) * l.blockInterval * 60) != t))
        closeBlock(log);
    const int block = p.pageBytesWritten / kLogBlockBytes;
    quint8* b = pageAt(log, p.writePage) + block * kLogBlockBytes;
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
    sealBlock(log, block);
    samples_.push_back({sensor, UnitWallClock(t), tenths, p.writePageSN, block});
    if (p.pageBytesWritten == kLogPageBytes)
        advancePage(log);
}

void LogMemory::appendSample(int sensor, const QDateTime& utc, int intervalMinutes, int tenths)
{
    QMutexLocker lock(&mutex_);
    Log& l = logs_[sensor - 1];
    l.clock = utc;
    l.interval = intervalMinutes;
    appendSampleLocked(sensor, tenths);
}

void LogMemory::appendSamples(int sensor, int count)
{
    QMutexLocker lock(&mutex_);
    for (int k = 0; k < count; ++k)
        appendSampleLocked(sensor, int((samples_.size() * 37 + quint32(sensor) * 101) % 4000) - 1500);
}

void LogMemory::writeEvent(quint8 b0, quint8 b1, quint8 b2, WrittenEvent written)
{
    Log& l = logs_[kEventLog];
    const QDateTime t = l.clock;
    l.clock = l.clock.addSecs(qint64(l.interval) * 60);
    LogPointerState& p = l.pointer;
    const int block = p.pageBytesWritten / kLogBlockBytes;
    quint8* b = pageAt(kEventLog, p.writePage) + block * kLogBlockBytes;
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
    sealBlock(kEventLog, block);
    written.when = UnitWallClock(t);
    written.pageSN = p.writePageSN;
    written.block = block;
    events_.push_back(written);
    if (p.pageBytesWritten == kLogPageBytes)
        advancePage(kEventLog);
}

void LogMemory::appendSensorEvent(int channel, bool state, int tenths)
{
    QMutexLocker lock(&mutex_);
    quint8 value[2];
    PutTenths14(value, tenths);
    WrittenEvent e;
    e.source = channel;
    e.tenths = tenths;
    e.condition = state ? 1 : 0;
    writeEvent(quint8(((channel - 1) & 0x1F) | (state ? 0x20 : 0)), value[0], value[1], e);
}

void LogMemory::appendConditionEvent(quint8 condition)
{
    QMutexLocker lock(&mutex_);
    WrittenEvent e;
    e.source = 21;
    e.condition = condition;
    writeEvent(0x40, condition, 0, e);
}

void LogMemory::appendListEvent(int source, quint32 sensors)
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
    writeEvent(quint8(head | sensors >> 16), quint8(sensors >> 8), quint8(sensors), e);
}

void LogMemory::appendEvents(int count)
{
    for (int k = 0; k < count; ++k) {
        const int n = int(events().size());
        switch (n % 4) {
        case 0:
            appendSensorEvent(n / 4 % 20 + 1, n / 4 % 2 == 1, (n * 13) % 3000 - 1000);
            break;
        case 1:
            appendConditionEvent(quint8(n % 10));
            break;
        case 2:
            appendListEvent(22, quint32(n * 2654435761u) & 0xFFFFF);
            break;
        default:
            appendListEvent(23 + n / 4 % 3, quint32(n * 40503u) & 0x3FFFF);
            break;
        }
    }
}

void LogMemory::fillPage(int log)
{
    const quint32 page = pointerState(log).writePageSN;
    while (pointerState(log).writePageSN == page) {
        if (log == kEventLog)
            appendEvents(1);
        else
            appendSamples(log + 1, 1);
    }
}

void LogMemory::clear()
{
    QMutexLocker lock(&mutex_);
    for (int log = 0; log < kLogs; ++log) {
        Log& l = logs_[log];
        l.pointer = {};
        l.memory.assign(std::size_t(ring(log)) * kLogPageBytes, kErased);
        l.blockSamples = 0;
    }
}

void LogMemory::corruptBlock(int log, int slot, int block)
{
    QMutexLocker lock(&mutex_);
    pageAt(log, slot)[block * kLogBlockBytes + kCheckAt] ^= 0xFF;
}

void LogMemory::corruptNextReads(int count)
{
    QMutexLocker lock(&mutex_);
    corruptReads_ = count;
}

void LogMemory::beforeNextPageRead(std::function<void(LogMemory&)> action)
{
    QMutexLocker lock(&mutex_);
    beforeRead_ = std::move(action);
}

void LogMemory::setPointer(int log, const LogPointerState& pointer)
{
    QMutexLocker lock(&mutex_);
    logs_[log].pointer = pointer;
}

QByteArray LogMemory::pointers() const
{
    QByteArray out;
    for (int log = 0; log < kLogs; ++log)
        out += pointer(log);
    return out;
}

QByteArray LogMemory::pointer(int log) const
{
    const LogPointerState p = pointerState(log);
    QByteArray out(10, '\0');
    auto* at = reinterpret_cast<quint8*>(out.data());
    PutLittleEndian(at, quint32(p.pageBytesWritten), 2);
    PutLittleEndian(at + 2, quint32(p.oldestPage), 2);
    PutLittleEndian(at + 4, quint32(p.writePage), 2);
    PutLittleEndian(at + 6, p.writePageSN, 4);
    return out;
}

QByteArray LogMemory::readHalfPage(int log, int offset, int slot)
{
    std::function<void(LogMemory&)> action;
    {
        QMutexLocker lock(&mutex_);
        std::swap(action, beforeRead_);
    }
    if (action)
        action(*this);
    QMutexLocker lock(&mutex_);
    if (log < 0 || log >= kLogs || (offset != 0 && offset != kLogHalfBytes) || slot < 0 || slot >= ring(log))
        return {};
    QByteArray half(reinterpret_cast<const char*>(pageAt(log, slot) + offset), kLogHalfBytes);
    if (corruptReads_ > 0) {
        --corruptReads_;
        half[kCheckAt] = char(~half[kCheckAt]);
    }
    return half;
}

LogPointerState LogMemory::pointerState(int log) const
{
    QMutexLocker lock(&mutex_);
    return logs_[log].pointer;
}

std::vector<WrittenSample> LogMemory::samples(int sensor) const
{
    QMutexLocker lock(&mutex_);
    std::vector<WrittenSample> out;
    for (const WrittenSample& s : samples_) {
        if (s.sensor == sensor)
            out.push_back(s);
    }
    return out;
}

std::vector<WrittenEvent> LogMemory::events() const
{
    QMutexLocker lock(&mutex_);
    return events_;
}

} // namespace unitsim

namespace unitsim {

void PrefillLogs(LogMemory& memory, int sensors, int samplesPerSensor, int events, int intervalMinutes)
{
    for (int n = 1; n <= sensors; ++n) {
        memory.setInterval(n - 1, intervalMinutes);
        memory.appendSamples(n, samplesPerSensor);
    }
    memory.appendEvents(events);
}

} // namespace unitsim
