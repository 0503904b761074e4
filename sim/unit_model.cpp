#include "unit_model.h"

namespace unitsim {

namespace {
constexpr quint8 kAnswerDone = 0xFF;
constexpr quint8 kAnswerRefused = 0x00;
constexpr quint8 kAnswerFailed = 0x01;
constexpr int kStatusLength = 75; // without the check byte
constexpr int kLogBlockedFault = 2;
constexpr int kClockInvalidFault = 4;

void PutText(QByteArray& payload, int at, int field, const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(field - 1);
    payload.replace(at, bytes.size(), bytes);
}

void PutTenths(QByteArray& payload, int at, int tenths)
{
    const int magnitude = std::min(std::abs(tenths), 0x3FFF);
    quint8 high = quint8((magnitude >> 8) & 0x1F);
    if (magnitude & 0x2000)
        high |= 0x40;
    if (tenths < 0)
        high |= 0x20;
    payload[at] = char(high);
    payload[at + 1] = char(magnitude & 0xFF);
}

// The access code as the request carries it, from byte 1 up to its 0 byte.
QString RequestCode(const QByteArray& request)
{
    const QByteArray field = request.mid(1, 9);
    return QString::fromLatin1(field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0')));
}

bool Busy(const UnitState& s)
{
    return s.mode == UnitMode::MenuBusy;
}
} // namespace

UnitState UnitModel::State() const
{
    QMutexLocker lock(&mutex_);
    return state_;
}

void UnitModel::Update(const std::function<void(UnitState&)>& change)
{
    QMutexLocker lock(&mutex_);
    change(state_);
}

CommandAnswer UnitModel::Identify(const QByteArray&) const
{
    const UnitState s = State();
    if (Busy(s))
        return CommandAnswer::StatusOnly(0xFA);
    QByteArray payload(33, '\0');
    PutText(payload, 0, 8, s.identity.softwareVersion);
    PutText(payload, 8, 8, s.identity.hardwareVersion);
    PutText(payload, 16, 16,
            s.mode == UnitMode::ForeignSerial ? s.identity.serialNumber + QStringLiteral("X")
                                              : s.identity.serialNumber);
    payload[32] = char(s.identity.systemNumber);
    return CommandAnswer::Data(payload);
}

CommandAnswer UnitModel::Status(const QByteArray&) const
{
    const UnitState s = State();
    if (Busy(s))
        return CommandAnswer::StatusOnly(0xFA);
    QByteArray payload(kStatusLength, '\0');
    quint32 sensorFaults = 0;
    for (int n = 0; n < s.identity.sensorCount && n < kUnitSensorSlots; ++n) {
        const SensorState& sensor = s.sensors[n];
        PutTenths(payload, 3 * n, sensor.tenths);
        payload[3 * n + 2] =
            char(int(sensor.powered) | int(sensor.outOfBounds) << 1 | int(sensor.alarm) << 2);
        if (sensor.fault)
            sensorFaults |= 1u << n;
    }
    quint8 power = 0;
    for (int p = 0; p < kUnitPowerInputs; ++p)
        power |= quint8(int(s.powerCondition[p]) << p | int(s.powerFault[p]) << (p + 4));
    payload[60] = char(power);
    payload[61] = char(s.clock.time().hour());
    payload[62] = char(s.clock.time().minute());
    payload[63] = char(s.clock.date().day());
    payload[64] = char(s.clock.date().month());
    payload[65] = char(s.clock.date().year() - 2000);
    payload[67] = char(s.alarmCondition);
    payload[68] = char(s.relayB);
    payload[69] = char(sensorFaults & 0xFF);
    payload[70] = char((sensorFaults >> 8) & 0xFF);
    payload[71] = char((sensorFaults >> 16) & 0x0F);
    quint16 system = s.systemFaults;
    if (s.logBlocked)
        system |= 1 << kLogBlockedFault;
    if (s.clockInvalid)
        system |= 1 << kClockInvalidFault;
    payload[73] = char(system & 0xFF);
    payload[74] = char((system >> 8) & 0x01);
    return CommandAnswer::Data(payload);
}

CommandAnswer UnitModel::Set(const QByteArray& request, const std::function<bool(UnitState&)>& change)
{
    QMutexLocker lock(&mutex_);
    if (Busy(state_))
        return CommandAnswer::StatusOnly(0xFA);
    quint8 answer = kAnswerRefused;
    if (RequestCode(request) == state_.accessCode)
        answer = change(state_) ? kAnswerDone : kAnswerFailed;
    return CommandAnswer::Data(QByteArray(1, char(answer)));
}

CommandAnswer UnitModel::SetAlarmCondition(const QByteArray& request)
{
    const quint8 value = quint8(request.at(10));
    return Set(request, [value](UnitState& s) {
        if (value > 9)
            return false;
        s.alarmCondition = value;
        return true;
    });
}

CommandAnswer UnitModel::SetRelayB(const QByteArray& request)
{
    const bool on = quint8(request.at(10)) != 0;
    return Set(request, [on](UnitState& s) {
        s.relayB = on ? 1 : 0;
        return true;
    });
}

CommandAnswer UnitModel::SetSensorAlarm(const QByteArray& request)
{
    const int index = quint8(request.at(10));
    const bool on = request.at(11) != 0;
    return Set(request, [index, on](UnitState& s) {
        if (index >= s.identity.sensorCount || index >= kUnitSensorSlots)
            return false;
        s.sensors[index].alarm = on;
        return true;
    });
}

} // namespace unitsim
