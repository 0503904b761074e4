#include "current_events.h"

#include "tenths14.h"

namespace unitsim {

namespace {
void PutStamp4(quint8* at, const QDateTime& when)
{
    const int hour = when.time().hour(), minute = when.time().minute();
    at[0] = quint8(hour << 3 | minute >> 3);
    at[1] = quint8((minute & 7) << 5 | when.date().day());
    at[2] = quint8(when.date().month());
    at[3] = quint8(when.date().year() - 2000);
}

void PutTimeOrCounter(quint8* at, const EventSlot& slot)
{
    if (!slot.counter) {
        PutStamp4(at, slot.when);
        return;
    }
    for (int i = 0; i < 4; ++i)
        at[i] = quint8(slot.count >> (8 * i));
}

// Header and eventSlots of one list; slotSize bytes per slot, the value written by putValue.
template <typename PutValue>
void PutList(quint8* list, const std::vector<EventSlot>& eventSlots, quint8 extraHeader, int slotSize,
             bool typed, PutValue putValue)
{
    quint8 header = extraHeader;
    for (std::size_t e = 0; e < eventSlots.size() && e < 2; ++e) {
        const EventSlot& s = eventSlots[e];
        quint8* at = list + 1 + slotSize * int(e);
        header |=
            quint8((s.present ? 1 : 0) << e | (typed && s.type1 ? 4 : 0) << e | (s.counter ? 16 : 0) << e);
        PutTimeOrCounter(at, s);
        putValue(at + 4, s.value);
    }
    list[0] = header;
}
} // namespace

void CurrentEvents::SetSensor(int sensor, const std::vector<EventSlot>& eventSlots, quint8 extraHeader)
{
    QMutexLocker lock(&mutex_);
    quint8* entry = sensors_.data() + kEntry * (sensor - 1);
    std::fill_n(entry, kEntry, quint8(0));
    PutList(entry, eventSlots, quint8(extraHeader & 0xC0), 6, true, PutTenths14);
}

void CurrentEvents::SetPower(const std::vector<EventSlot>& eventSlots, quint8 extraHeader)
{
    QMutexLocker lock(&mutex_);
    power_.fill(0);
    PutList(power_.data(), eventSlots, quint8(extraHeader & 0xCC), 5, false,
            [](quint8* at, int condition) { at[0] = quint8(condition); });
}

QByteArray CurrentEvents::SensorReply() const
{
    QMutexLocker lock(&mutex_);
    return QByteArray(reinterpret_cast<const char*>(sensors_.data()), int(sensors_.size()));
}

QByteArray CurrentEvents::PowerReply() const
{
    QMutexLocker lock(&mutex_);
    return QByteArray(reinterpret_cast<const char*>(power_.data()), int(power_.size()));
}

} // namespace unitsim
