#pragma once

#include "current_events.h"
#include "log_memory.h"
#include "settings_memory.h"
#include "unit_model.h"

#include <QDateTime>

#include <array>
#include <random>

namespace unitsim {

// What a live unit keeps while switched off, besides its memories: its clock, when each sensor
// logs next, and the limits and mains input it was outside of, which it reports back inside once
// on again.
struct LiveKept
{
    QDateTime clockUtc;
    std::array<QDateTime, kUnitSensorSlots> nextSampleUtc{};
    std::array<bool, kUnitSensorSlots> outside{};
    bool mainsFailed = false;
};

QDataStream& operator<<(QDataStream& out, const LiveKept& kept);
QDataStream& operator>>(QDataStream& in, LiveKept& kept);

// A unit in the field: its clock runs from its start value, its readings drift and now and then
// cross a limit of its settings (alarm, current event, logged event) and return, its supply or a
// monitored mains input fails now and then and comes back, and every active sensor logs a sample
// at its recording rate. Time is given from outside, so the same seed and times always give the
// same unit.
class LiveUnit
{
public:
    LiveUnit(UnitModel& model, const SettingsMemory& settings, LogMemory& logs, CurrentEvents& events,
             quint32 seed);

    // Brings the unit to elapsedMs after its start; time never goes back.
    void AdvanceTo(qint64 elapsedMs);

    // What the unit keeps, at elapsedMs after its start.
    LiveKept Kept(qint64 elapsedMs) const;
    // Goes on from what a unit kept, before the first AdvanceTo, with the clock the model shows
    // now. A sample that fell due while the unit was off is not logged.
    void Resume(const LiveKept& kept);

private:
    struct Sensor
    {
        double period = 600;       // seconds of the slow wave
        double phase = 0;          // radians
        double walk = 0;           // the random part, in halves of the normal span
        qint64 excursionFrom = -1; // second at which the reading leaves for a limit
        qint64 excursionTo = -1;
        bool excursionHigh = true;
        bool outside = false;
        QDateTime nextSampleUtc;
    };

    void Step(qint64 second);
    void FollowClock(qint64 second);
    void MoveSensor(int row, const ImageSensor& settings, qint64 second, const QDateTime& utc);
    void LogSamples(int row, const ImageSensor& settings, const QDateTime& utc);
    void PlanExcursion(const ImageContents& contents, int sensorCount, qint64 second);
    void MoveMains(int monitoredInputs, qint64 second, const QDateTime& utc);
    double Uniform(double low, double high);

    UnitModel& model_;
    const SettingsMemory& settings_;
    LogMemory& logs_;
    CurrentEvents& events_;
    bool twentySensors_;
    std::mt19937 random_;
    QDateTime startUtc_;   // the unit clock's moment at second 0
    QDateTime shownClock_; // what the unit clock was last set to
    qint64 done_ = -1;     // the last second stepped
    std::array<Sensor, kUnitSensorSlots> sensors_{};
    qint64 nextExcursion_;
    qint64 nextMainsFailure_;
    qint64 mainsReturn_ = -1;
    int failedInput_ = 0;
    std::vector<EventSlot> powerSlots_;
};

} // namespace unitsim
