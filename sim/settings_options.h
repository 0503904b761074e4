#pragma once

class QCommandLineParser;
class QString;

namespace unitsim {

class SettingsMemory;
class UnitModel;

// The command-line options of the simulated unit's settings image: --security-code,
// --system-name and --mains-mode.
void AddSettingsOptions(QCommandLineParser& parser);

// Builds the image from the options and the model's identity (layout by model name, system
// number, its first sensors active, each logging every recordingRate minutes) into memory; false
// with error set when a value is not valid.
bool ApplySettingsOptions(const QCommandLineParser& parser, const UnitModel& model, SettingsMemory& memory,
                          int recordingRate, QString* error);

} // namespace unitsim
