#pragma once

#include "settings_image.h"
#include "sim_command.h"

#include <QByteArray>
#include <QMutex>

namespace unitsim {

class UnitModel;
class UnitSimulator;

// The unit's settings memory. Safe to change from any thread while the simulator serves.
class SettingsMemory
{
public:
    QByteArray Image() const;
    // An image of another size is cut or zero-filled to kSettingsImageSize.
    void SetImage(const QByteArray& image);

    // The answer to a whole 15-byte request of command 20: request byte 1 names the block (0 to 15);
    // the payload is its 256 bytes followed by the block number. Another block number is not supported.
    CommandAnswer ReadBlock(const QByteArray& request) const;

private:
    mutable QMutex mutex_;
    QByteArray image_ = QByteArray(kSettingsImageSize, '\0');
};

// The answer to command 14: the model name as a zero-ended text in 32 bytes.
CommandAnswer ReadModel(const UnitModel& model);

// Makes the simulator answer the model (14) and settings block (20) commands from model and memory,
// busy in its own menu as model says. Both must outlive the simulator's serving.
void InstallSettingsCommands(UnitSimulator& sim, UnitModel& model, SettingsMemory& memory);

} // namespace unitsim
