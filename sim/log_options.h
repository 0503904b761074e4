#pragma once

#include "log_memory.h"

class QCommandLineParser;

namespace unitsim {

// The command-line options that fill the unit's logs before it serves: --log-samples,
// --log-events and --log-interval.
void AddLogOptions(QCommandLineParser& parser);

// Fills the logs of sensors 1 to sensors as the options say and gives the interval; false with
// error set when a value is not valid.
bool ApplyLogOptions(const QCommandLineParser& parser, LogMemory& memory, int sensors, int* intervalMinutes,
                     QString* error);

} // namespace unitsim
