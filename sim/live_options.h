#pragma once

#include "live_unit.h"
#include "unit_state_file.h"

#include <memory>

class QCommandLineParser;

namespace unitsim {

// The command-line options that make the unit live: --live, --seed, --clock and --state.
void AddLiveOptions(QCommandLineParser& parser);
bool LiveRequested(const QCommandLineParser& parser);

// The live unit the options ask for, or none without --live, and the file that keeps its memory
// when --state names one, loaded when it exists; false with error set when an option is not
// valid or the file cannot be loaded.
bool ApplyLiveOptions(const QCommandLineParser& parser, UnitModel& model, SettingsMemory& settings,
                      LogMemory& logs, CurrentEvents& events, std::unique_ptr<LiveUnit>* live,
                      std::unique_ptr<UnitStateFile>* stateFile, QString* error);

} // namespace unitsim
