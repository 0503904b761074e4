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
        if (model.State().mode == UnitMode::MenuBusy)
            return CommandAnswer::StatusOnly(kStatusBusy);
        return answer(request);
    };
}
} // namespace

void InstallLogCommands(UnitSimulator& sim, const UnitModel& model, LogMemory& memory, CurrentEvents& events)
{
    sim.SetHandler(kSensorEvents, UnlessBusy(model, [&events](const QByteArray&) {
                       return CommandAnswer::Data(events.SensorReply());
                   }));
    sim.SetHandler(kPowerEvents, UnlessBusy(model, [&events](const QByteArray&) {
                       return CommandAnswer::Data(events.PowerReply());
                   }));
    sim.SetHandler(kLogPointers, UnlessBusy(model, [&memory](const QByteArray&) {
                       return CommandAnswer::Data(memory.Pointers());
                   }));
    sim.SetHandler(kLogPointer, UnlessBusy(model, [&memory](const QByteArray& request) {
                       const int log = quint8(request.at(1));
                       return log < kLogs ? CommandAnswer::Data(memory.Pointer(log))
                                          : CommandAnswer::StatusOnly(kStatusNotSupported);
                   }));
    sim.SetHandler(kLogPage, UnlessBusy(model, [&memory](const QByteArray& request) {
                       const QByteArray half = memory.ReadHalfPage(
                           quint8(request.at(1)), RequestU16(request, 2), RequestU16(request, 4));
                       return half.isEmpty() ? CommandAnswer::StatusOnly(kStatusNotSupported)
                                             : CommandAnswer::Data(half);
                   }));
}

} // namespace unitsim
