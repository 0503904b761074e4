#include "log_commands.h"

#include "sim_bytes.h"
#include "unit_simulator.h"

namespace unitsim {

namespace {
constexpr quint8 kSensorEvents = 22, kPowerEvents = 23, kLogPointers = 24, kLogPage = 3, kLogPointer = 25;

int RequestU16(const QByteArray& request, int at)
{
    return quint8(request.at(at)) | quint8(request.at(at + 1)) << 8;
}

// answer's result unless the unit is busy in its menu.
template <typename Answer> CommandHandler UnlessBusy(const UnitModel& model, Answer answer)
{
    return [&model, answer](const QByteArray& request) {
        if (model.state().mode == UnitMode::MenuBusy)
            return CommandAnswer::statusOnly(kStatusBusy);
        return answer(request);
    };
}
} // namespace

void InstallLogCommands(UnitSimulator& sim, const UnitModel& model, LogMemory& memory, CurrentEvents& events)
{
    sim.setHandler(kSensorEvents, UnlessBusy(model, [&events](const QByteArray&) {
                       return CommandAnswer::data(events.sensorReply());
                   }));
    sim.setHandler(kPowerEvents, UnlessBusy(model, [&events](const QByteArray&) {
                       return CommandAnswer::data(events.powerReply());
                   }));
    sim.setHandler(kLogPointers, UnlessBusy(model, [&memory](const QByteArray&) {
                       return CommandAnswer::data(memory.pointers());
                   }));
    sim.setHandler(kLogPointer, UnlessBusy(model, [&memory](const QByteArray& request) {
                       const int log = quint8(request.at(1));
                       return log < kLogs ? CommandAnswer::data(memory.pointer(log))
                                          : CommandAnswer::statusOnly(kStatusNotSupported);
                   }));
    sim.setHandler(kLogPage, UnlessBusy(model, [&memory](const QByteArray& request) {
                       const QByteArray half = memory.readHalfPage(
                           quint8(request.at(1)), RequestU16(request, 2), RequestU16(request, 4));
                       return half.isEmpty() ? CommandAnswer::statusOnly(kStatusNotSupported)
                                             : CommandAnswer::data(half);
                   }));
}

} // namespace unitsim
