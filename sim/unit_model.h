#pragma once

#include "sim_command.h"

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QString>

#include <array>
#include <functional>

namespace unitsim {

constexpr int kUnitSensorSlots = 20;
constexpr int kUnitPowerInputs = 4;

struct UnitIdentity
{
    QString serialNumber = QStringLiteral("SIM0001");
    QString model = QStringLiteral("TELVARON-1");
    QString softwareVersion = QStringLiteral("1.00");
    QString hardwareVersion = QStringLiteral("1.0");
    int systemNumber = 1;
    int sensorCount = kUnitSensorSlots; // sensors the unit has: 20 or 8
};

struct SensorState
{
    int tenths = 0; // the reading in tenths, -16383..16383
    bool powered = true;
    bool outOfBounds = false;
    bool alarm = false;
    bool fault = false;
};

// How the unit answers: normally, with another unit's serial number, busy in its own
// programming menu (every command answers 0xFA), or not at all.
enum class UnitMode { Normal, ForeignSerial, MenuBusy, Silent };

struct UnitState
{
    UnitIdentity identity;
    QString accessCode = QStringLiteral("1234");
    std::array<SensorState, kUnitSensorSlots> sensors{};
    std::array<bool, kUnitPowerInputs> powerCondition{};
    std::array<bool, kUnitPowerInputs> powerFault{};
    QDateTime clock = QDateTime(QDate(2024, 5, 17), QTime(13, 45), Qt::UTC);
    bool clockInvalid = false;
    quint8 alarmCondition = 0;
    quint8 relayB = 0;
    quint16 systemFaults = 0; // bits 0..8; bit 2 also follows logBlocked, bit 4 clockInvalid
    bool logBlocked = false;
    UnitMode mode = UnitMode::Normal;
};

// The state of a simulated unit and its answers to the identify, status and set commands.
// Safe to change from any thread while the simulator serves.
class UnitModel
{
public:
    UnitState State() const;
    void Update(const std::function<void(UnitState&)>& change);

    // The answer to a whole 15-byte request of command 7, 21, 9, 6 or 32.
    CommandAnswer Identify(const QByteArray& request) const;
    CommandAnswer Status(const QByteArray& request) const;
    CommandAnswer SetAlarmCondition(const QByteArray& request);
    CommandAnswer SetRelayB(const QByteArray& request);
    CommandAnswer SetSensorAlarm(const QByteArray& request);

private:
    // The unit's answer byte to a set command: 0x00 for a wrong access code, 0x01 for a value
    // it cannot take, 0xFF once change has been applied.
    CommandAnswer Set(const QByteArray& request, const std::function<bool(UnitState&)>& change);

    mutable QMutex mutex_;
    UnitState state_;
};

} // namespace unitsim
