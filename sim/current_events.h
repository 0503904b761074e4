#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>

#include <array>
#include <vector>

namespace unitsim {

// One slot of a current-event list: a time (or, with counter set, a counter) and a value, which
// is a reading in tenths for a sensor and a condition byte for the power list.
struct EventSlot
{
    bool present = true;
    bool type1 = false; // sensor lists only
    bool counter = false;
    quint32 count = 0;
    QDateTime when;
    int value = 0;
};

// The unit's current events: two eventSlots per sensor and two for its power inputs, answered by the
// sensor (261 bytes) and power (12 bytes) event commands. Safe to use from any thread.
class CurrentEvents
{
public:
    // extraHeader: header bits 6 and 7 (sensor) or 2, 3, 6 and 7 (power), which mean nothing.
    void SetSensor(int sensor, const std::vector<EventSlot>& eventSlots, quint8 extraHeader = 0);
    void SetPower(const std::vector<EventSlot>& eventSlots, quint8 extraHeader = 0);

    // The replies without their check byte.
    QByteArray SensorReply() const;
    QByteArray PowerReply() const;

private:
    static constexpr int kEntry = 13;
    mutable QMutex mutex_;
    std::array<quint8, 20 * kEntry> sensors_{};
    std::array<quint8, 11> power_{};
};

} // namespace unitsim
