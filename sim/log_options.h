#pragma once

#include "log_memory.h"

class QCommandLineParser;

namespace unitsim {

// The command-line options that fill the unit's logs before it serves: --log-samples,
// --log-events and --log-interval.
void AddLogOptions(QCommandLineParser& parser);

// Fills the logs of sensors 1 to sensors as the options say; false with error set when a value is
// not valid.
bool ApplyLogOptions(const QCommandLineParser& parser, LogMemory& memory, int sensors, QString* error);

} // namespace unitsim
