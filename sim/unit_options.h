#pragma once

#include "unit_model.h"

class QCommandLineParser;

namespace unitsim {

// The command-line options that give the simulated unit its identity: --serial, --model,
// --softver, --hardver, --system-number, --sensors and --code.
void AddUnitOptions(QCommandLineParser& parser);

// Applies the options given to the model; false with error set when a value is not valid.
bool ApplyUnitOptions(const QCommandLineParser& parser, UnitModel& model, QString* error);

} // namespace unitsim
