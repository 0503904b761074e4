#pragma once

#include "live_unit.h"

#include <memory>

class QCommandLineParser;

namespace unitsim {

// The command-line options that make the unit live: --live and --seed.
void AddLiveOptions(QCommandLineParser& parser);
bool LiveRequested(const QCommandLineParser& parser);

// The live unit the options ask for, or none without --live; false with error set when the seed
// is not valid.
bool ApplyLiveOptions(const QCommandLineParser& parser, UnitModel& model, const SettingsMemory& settings,
                      LogMemory& logs, CurrentEvents& events, std::unique_ptr<LiveUnit>* live,
                      QString* error);

} // namespace unitsim
