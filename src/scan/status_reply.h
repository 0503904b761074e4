#pragma once

#include <link/link_result.h>

#include <QDateTime>
#include <QString>

#include <span>
#include <vector>

// The reply of the status command: 76 payload bytes, check byte included. Readers take the
// payload (a reply buffer works) and never look past offset 75.
constexpr int kStatusReplyLength = 76;
constexpr int kStatusSensorEntries = 20;
constexpr int kStatusPowerInputs = 4;

struct SensorReading
{
    float value = 0;
    bool outOfBounds = false;
    bool notPowered = true;
    bool alarm = false;
};

struct PowerReading
{
    bool fault = false;
    bool condition = false;
};

// One active fault as Systems_Faults stores it: type 0 system fault "0".."8", type 1 sensor "1".."20".
struct UnitFault
{
    int type = 0;
    QString info;

    bool operator==(const UnitFault&) const = default;
};

// Sensor n, 1 to 20; a number outside that range reads as an unpowered 0.
SensorReading StatusSensor(std::span<const quint8> reply, int n);
// Voltage input p, 1 to 4; outside that range reads as 0 and 0.
PowerReading StatusPower(std::span<const quint8> reply, int p);
// The unit clock, or a null date-time while the unit says its clock is invalid.
QDateTime StatusClock(std::span<const quint8> reply);
quint8 StatusAlarmCondition(std::span<const quint8> reply);
quint8 StatusRelayBCondition(std::span<const quint8> reply);
// System fault 2: the unit's logs must not be read in this turn.
bool StatusLogBlocked(std::span<const quint8> reply);
// The faults whose bits are set, in the order system 0..8, sensor 1..20.
std::vector<UnitFault> StatusFaults(std::span<const quint8> reply);
// All 29 faults the reply can carry, in the same order.
const std::vector<UnitFault>& AllUnitFaults();
