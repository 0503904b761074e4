#pragma once

#include "live_unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace unitsim {

// The memory of a live unit kept in a file while the simulator is not running, as a unit in the
// field keeps it while switched off: its logs, its settings and what LiveKept holds. Its clock
// runs on meanwhile: loaded, it has moved on by the time that passed since the save. The file is
// replaced whole, so a kill leaves the previous save or the new one.
class UnitStateFile
{
public:
    UnitStateFile(const QString& path, UnitModel& model, SettingsMemory& settings, LogMemory& logs);

    // Puts the saved memory into the unit and sets its clock as of nowUtc; *found tells whether
    // there was a file. False with error set, the unit untouched, for a file that cannot be read
    // or that another unit saved.
    bool Load(const QDateTime& nowUtc, LiveKept* kept, bool* found, QString* error);
    // Saves when the logs, the settings or what kept holds (besides the clock running on) changed
    // since the last save or load.
    bool SaveIfChanged(const LiveKept& kept, const QDateTime& nowUtc, QString* error);

private:
    // What decides whether a save is needed besides the logs and the clock.
    QByteArray Fingerprint(const LiveKept& kept) const;

    QString path_;
    UnitModel& model_;
    SettingsMemory& settings_;
    LogMemory& logs_;
    quint64 savedWrites_ = 0;
    QByteArray savedFingerprint_;
    qint64 savedAheadMs_ = 0; // how far the unit's clock was ahead of the computer's
};

} // namespace unitsim
