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
    sim.setHandler(kIdentify, [&model](const QByteArray& r) { return model.identify(r); });
    sim.setHandler(kStatus, [&model](const QByteArray& r) { return model.status(r); });
    sim.setHandler(kAlarmCondition, [&model](const QByteArray& r) { return model.setAlarmCondition(r); });
    sim.setHandler(kRelayB, [&model](const QByteArray& r) { return model.setRelayB(r); });
    sim.setHandler(kSensorAlarm, [&model](const QByteArray& r) { return model.setSensorAlarm(r); });
    for (const quint8 empty : {kSensorEvents, kPowerEvents, kLogPointers})
        sim.setFixedPayload(empty, QByteArray());
}

void SetUnitMode(UnitSimulator& sim, UnitModel& model, UnitMode mode)
{
    model.update([mode](UnitState& s) { s.mode = mode; });
    sim.clearFaults();
    if (mode != UnitMode::Silent)
        return;
    for (const quint8 command : kUnitCommands)
        sim.setFault(command, kEveryArrival, Fault::silence());
}

} // namespace unitsim
