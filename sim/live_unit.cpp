#include "live_unit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace unitsim {

namespace {
constexpr int kContact = 3, kContactNormallyOpen = 4, kHumidity = 1;
constexpr qint64 kFirstExcursion = 20, kFirstMainsFailure = 45;
constexpr double kRampSeconds = 20;
constexpr double kLargestReading = 1638.3;

struct Range
{
    double low, high;
};

// Where the reading of a sensor stays when nothing happens: between its limits in use, or else
// where a sensor of its type usually reads.
Range NormalRange(const ImageSensor& s)
{
    static constexpr Range kTypical[] = {{15, 25}, {40, 70}, {2, 8}, {0, 1}, {0, 1}, {990, 1030}};
    const Range typical = s.type >= 0 && s.type < 6 ? kTypical[s.type] : Range{0, 10};
    const Range r{s.minInUse ? s.minLimit : typical.low, s.maxInUse ? s.maxLimit : typical.high};
    return r.high > r.low ? r : typical;
}

// The UTC moment at which the unit's wall clock shows wall.
QDateTime UtcShowing(const QDateTime& wall)
{
    const QDateTime summer = wall.addSecs(-3 * 3600);
    return UnitWallClock(summer) == wall ? summer : wall.addSecs(-2 * 3600);
}

QDateTime NextWholeMinute(const QDateTime& utc)
{
    const int seconds = utc.time().second();
    const QDateTime whole = utc.addSecs(-seconds).addMSecs(-utc.time().msec());
    return whole == utc ? whole : whole.addSecs(60);
}

bool Moves(const ImageSensor& s)
{
    return s.active && s.type != kContact && s.type != kContactNormallyOpen;
}
} // namespace

QDataStream& operator<<(QDataStream& out, const LiveKept& kept)
{
    out << kept.clockUtc;
    for (int row = 0; row < kUnitSensorSlots; ++row)
        out << kept.nextSampleUtc[row] << kept.outside[row];
    return out << kept.mainsFailed;
}

QDataStream& operator>>(QDataStream& in, LiveKept& kept)
{
    in >> kept.clockUtc;
    for (int row = 0; row < kUnitSensorSlots; ++row)
        in >> kept.nextSampleUtc[row] >> kept.outside[row];
    return in >> kept.mainsFailed;
}

LiveUnit::LiveUnit(UnitModel& model, const SettingsMemory& settings, LogMemory& logs, CurrentEvents& events,
                   quint32 seed)
    : model_(model), settings_(settings), logs_(logs), events_(events),
      twentySensors_(model.State().identity.model.contains(QStringLiteral("TELVARON-1"))), random_(seed),
      startUtc_(UtcShowing(model.State().clock)), shownClock_(model.State().clock),
      nextExcursion_(kFirstExcursion), nextMainsFailure_(kFirstMainsFailure)
{
    for (Sensor& s : sensors_) {
        s.period = Uniform(300, 900);
        s.phase = Uniform(0, 2 * std::numbers::pi);
    }
}

LiveKept LiveUnit::Kept(qint64 elapsedMs) const
{
    LiveKept kept{startUtc_.addMSecs(elapsedMs), {}, {}, mainsReturn_ >= 0};
    for (int row = 0; row < kUnitSensorSlots; ++row) {
        kept.nextSampleUtc[row] = sensors_[row].nextSampleUtc;
        kept.outside[row] = sensors_[row].outside;
    }
    return kept;
}

void LiveUnit::Resume(const LiveKept& kept)
{
    const QDateTime firstDue = NextWholeMinute(startUtc_);
    for (int row = 0; row < kUnitSensorSlots; ++row) {
        Sensor& s = sensors_[row];
        // A sample logged already is never logged again, also when the clock was set back.
        s.nextSampleUtc =
            kept.nextSampleUtc[row].isValid() ? std::max(kept.nextSampleUtc[row], firstDue) : QDateTime();
        s.outside = kept.outside[row];
    }
    // A failure that was going on ends at once.
    if (kept.mainsFailed)
        mainsReturn_ = 0;
}

double LiveUnit::Uniform(double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(random_);
}

void LiveUnit::AdvanceTo(qint64 elapsedMs)
{
    for (qint64 second = done_ + 1; second <= elapsedMs / 1000; ++second) {
        Step(second);
        done_ = second;
    }
}

void LiveUnit::Step(qint64 second)
{
    FollowClock(second);
    const QDateTime utc = startUtc_.addSecs(second);
    const ImageContents contents = ReadImageContents(settings_.Image(), twentySensors_);
    const int sensorCount = std::min(model_.State().identity.sensorCount, int(contents.sensors.size()));
    if (second >= nextExcursion_)
        PlanExcursion(contents, sensorCount, second);
    for (int row = 0; row < sensorCount; ++row) {
        const ImageSensor& settings = contents.sensors[row];
        if (Moves(settings))
            MoveSensor(row, settings, second, utc);
        if (settings.active)
            LogSamples(row, settings, utc);
    }
    MoveMains(std::clamp(contents.mainsMode + 1, 1, twentySensors_ ? kUnitPowerInputs : 2), second, utc);
}

// The clock runs on from wherever it was last set, also by a settings upload.
void LiveUnit::FollowClock(qint64 second)
{
    const QDateTime clock = model_.State().clock;
    if (clock != shownClock_) {
        startUtc_ = UtcShowing(clock).addSecs(-second);
        for (Sensor& s : sensors_)
            s.nextSampleUtc = {};
    }
    shownClock_ = UnitWallClock(startUtc_.addSecs(second));
    model_.Update([this](UnitState& s) { s.clock = shownClock_; });
}

void LiveUnit::MoveSensor(int row, const ImageSensor& settings, qint64 second, const QDateTime& utc)
{
    Sensor& s = sensors_[row];
    const Range normal = NormalRange(settings);
    const double center = (normal.low + normal.high) / 2, half = (normal.high - normal.low) / 2;
    s.walk = std::clamp(s.walk * 0.995 + Uniform(-0.03, 0.03), -0.2, 0.2);
    const double wave = 0.55 * std::sin(2 * std::numbers::pi * double(second) / s.period + s.phase);
    double value = center + half * (wave + s.walk);
    if (second >= s.excursionFrom && second < s.excursionTo) {
        const double target =
            s.excursionHigh ? settings.maxLimit + 0.15 * half : settings.minLimit - 0.15 * half;
        const double ramp =
            std::min(1.0, double(std::min(second - s.excursionFrom, s.excursionTo - second)) / kRampSeconds);
        value += ramp * (target - value);
    }
    value = std::clamp(value, settings.type == kHumidity ? 0.0 : -kLargestReading,
                       settings.type == kHumidity ? 100.0 : kLargestReading);
    const int tenths = int(std::lround(value * 10));
    const double reading = tenths / 10.0;
    const bool above = settings.maxInUse && reading > settings.maxLimit;
    const bool below = settings.minInUse && reading < settings.minLimit;
    // Back inside only clearly within the limits, so that noise at a limit makes no chatter.
    const double margin = 0.05 * half;
    const bool inside = (!settings.maxInUse || reading < settings.maxLimit - margin) &&
                        (!settings.minInUse || reading > settings.minLimit + margin);
    const bool changes = s.outside ? inside : (above || below);
    if (changes)
        s.outside = !s.outside;
    model_.Update([&](UnitState& state) {
        SensorState& sensor = state.sensors[row];
        sensor.tenths = tenths;
        if (changes)
            sensor.outOfBounds = sensor.alarm = s.outside;
    });
    if (!changes)
        return;
    if (s.outside)
        events_.SetSensor(row + 1, {{true, above, false, 0, UnitWallClock(utc), tenths}});
    else
        events_.SetSensor(row + 1, {});
    logs_.SetClock(kEventLog, utc);
    logs_.AppendSensorEvent(row + 1, s.outside, tenths);
}

void LiveUnit::LogSamples(int row, const ImageSensor& settings, const QDateTime& utc)
{
    Sensor& s = sensors_[row];
    if (settings.recordingRate < 1)
        return;
    if (!s.nextSampleUtc.isValid())
        s.nextSampleUtc = NextWholeMinute(utc);
    const int tenths = model_.State().sensors[row].tenths;
    for (; s.nextSampleUtc <= utc; s.nextSampleUtc = s.nextSampleUtc.addSecs(60 * settings.recordingRate))
        logs_.AppendSample(row + 1, s.nextSampleUtc, settings.recordingRate, tenths);
}

void LiveUnit::PlanExcursion(const ImageContents& contents, int sensorCount, qint64 second)
{
    nextExcursion_ = second + qint64(Uniform(60, 120));
    std::vector<int> candidates;
    for (int row = 0; row < sensorCount; ++row) {
        const ImageSensor& settings = contents.sensors[row];
        if (Moves(settings) && (settings.maxInUse || settings.minInUse) && !sensors_[row].outside &&
            second >= sensors_[row].excursionTo)
            candidates.push_back(row);
    }
    if (candidates.empty())
        return;
    const int row = candidates[std::size_t(Uniform(0, double(candidates.size())))];
    const ImageSensor& settings = contents.sensors[row];
    Sensor& s = sensors_[row];
    s.excursionHigh = settings.maxInUse && (!settings.minInUse || Uniform(0, 1) < 0.5);
    s.excursionFrom = second;
    s.excursionTo = second + qint64(Uniform(40, 100));
}

void LiveUnit::MoveMains(int monitoredInputs, qint64 second, const QDateTime& utc)
{
    const bool fails = mainsReturn_ < 0 && second >= nextMainsFailure_;
    const bool returns = mainsReturn_ >= 0 && second >= mainsReturn_;
    if (fails) {
        failedInput_ = std::min(int(Uniform(0, monitoredInputs)), monitoredInputs - 1);
        mainsReturn_ = second + qint64(Uniform(30, 90));
    } else if (returns) {
        mainsReturn_ = -1;
        nextMainsFailure_ = second + qint64(Uniform(120, 300));
    }
    quint8 power = 0;
    model_.Update([&](UnitState& s) {
        for (int p = 0; p < kUnitPowerInputs; ++p) {
            const bool failed = mainsReturn_ >= 0 && p == failedInput_;
            s.powerCondition[p] = p < monitoredInputs && !failed;
            s.powerFault[p] = p < monitoredInputs && failed;
            power |= quint8(int(s.powerCondition[p]) << p | int(s.powerFault[p]) << (p + 4));
        }
    });
    if (!fails && !returns)
        return;
    // The list keeps the latest failure and, once back, its return.
    if (fails)
        powerSlots_.clear();
    powerSlots_.push_back({true, false, false, 0, UnitWallClock(utc), power});
    events_.SetPower(powerSlots_);
    logs_.SetClock(kEventLog, utc);
    logs_.AppendConditionEvent(power);
}

} // namespace unitsim
