#include "unit_commands.h"

#include "sim_fault.h"
#include "sim_fault_script.h"
#include "unit_simulator.h"

namespace unitsim {

namespace {
constexpr quint8 kIdentify = 7, kStatus = 21, kAlarmCondition = 9, kRelayB = 6, kSensorAlarm = 32;
constexpr quint8 kSensorEvents = 22, kPowerEvents = 23, kLogPointers = 24, kLogPage = 3, kLogPointer = 25;
constexpr quint8 kUnitCommands[] = {kIdentify,     kStatus,      kAlarmCondition, kRelayB,  kSensorAlarm,
                                    kSensorEvents, kPowerEvents, kLogPointers,    kLogPage, kLogPointer};
} // namespace

void InstallUnitCommands(UnitSimulator& sim, UnitModel& model)
{
    sim.SetHandler(kIdentify, [&model](const QByteArray& r) { return model.Identify(r); });
    sim.SetHandler(kStatus, [&model](const QByteArray& r) { return model.Status(r); });
    sim.SetHandler(kAlarmCondition, [&model](const QByteArray& r) { return model.SetAlarmCondition(r); });
    sim.SetHandler(kRelayB, [&model](const QByteArray& r) { return model.SetRelayB(r); });
    sim.SetHandler(kSensorAlarm, [&model](const QByteArray& r) { return model.SetSensorAlarm(r); });
    for (const quint8 empty : {kSensorEvents, kPowerEvents, kLogPointers})
        sim.SetFixedPayload(empty, QByteArray());
}

void SetUnitMode(UnitSimulator& sim, UnitModel& model, UnitMode mode)
{
    model.Update([mode](UnitState& s) { s.mode = mode; });
    sim.ClearFaults();
    if (mode != UnitMode::Silent)
        return;
    for (const quint8 command : kUnitCommands)
        sim.SetFault(command, kEveryArrival, Fault::Silence());
}

} // namespace unitsim
