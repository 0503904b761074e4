#pragma once

#include "current_events.h"
#include "log_memory.h"
#include "unit_model.h"

namespace unitsim {

class UnitSimulator;

// Makes the simulator answer the current-event commands (22, 23) from events and the log
// commands (24 pointers, 3 half page, 25 one pointer) from memory; busy while the model is in
// its menu. The objects must outlive the simulator's serving.
void InstallLogCommands(UnitSimulator& sim, const UnitModel& model, LogMemory& memory, CurrentEvents& events);

} // namespace unitsim
