#pragma once

#include "unit_model.h"

namespace unitsim {

class UnitSimulator;

// Makes the simulator answer as model's unit: identify (7), status (21), alarm condition (9),
// relay B (6) and sensor alarm (32) from the model; the event lists (22, 23) and the log
// pointers (24) as empty until InstallLogCommands answers them. The model must outlive the
// simulator's serving.
void InstallUnitCommands(UnitSimulator& sim, UnitModel& model);

// Sets the model's mode; a silent unit gets no answer to any of its commands.
void SetUnitMode(UnitSimulator& sim, UnitModel& model, UnitMode mode);

} // namespace unitsim
