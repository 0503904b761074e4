#pragma once

#include "sim_command.h"
#include "sim_raw_input.h"

#include <QByteArray>
#include <QMutex>

#include <optional>

namespace unitsim {

class SettingsMemory;
class UnitModel;
class UnitSimulator;

// Misbehaviour of the unit during a settings upload; records count from 0 within an upload,
// the end record being number 256.
struct UploadFaults
{
    int refuseRecord = -1;     // answered "@"
    int silentFromRecord = -1; // this record and all after it go unanswered
    bool refuseCommit = false; // command 19 answers 0x00
};

// The unit's side of a settings upload. Command 11 prepares the unit; a second command 11 opens
// its text input. Each line is a scrambled Intel HEX record; a data record of 16 bytes inside the
// settings memory is taken ("~"), anything else refused ("@"), which voids the upload. The end
// record closes the input, taken once all 256 data records came. Command 19 then applies the
// image, when its settings checksum holds, and sets the clock from its bytes 1 to 5 (hour,
// minute, day, month, year - 2000). The text input lapses when the line has been idle for
// lapseMs after its first byte.
class SettingsUpload : public RawInput
{
public:
    SettingsUpload(UnitModel& model, SettingsMemory& memory, int lapseMs = 3000);

    void SetFaults(const UploadFaults& faults);
    // Complete uploads applied by command 19 so far.
    int Commits() const;

    CommandAnswer Begin(const QByteArray& request);
    CommandAnswer Commit(const QByteArray& request);

    bool Takes(qint64 nowMs) override;
    SimActions Receive(QByteArrayView bytes, qint64 nowMs) override;

private:
    // The answer to one line, or nothing (silent).
    QByteArray TakeLine(const QByteArray& line);

    UnitModel& model_;
    SettingsMemory& memory_;
    const int lapseMs_;
    mutable QMutex mutex_;
    UploadFaults faults_;
    bool prepared_ = false;
    bool textInput_ = false;
    qint64 lastByteMs_ = -1; // none since the text input opened
    QByteArray line_;
    QByteArray pending_;
    QByteArray received_; // one flag per data record
    int record_ = 0;      // lines taken in this upload
    bool complete_ = false;
    int commits_ = 0;
};

// Makes the simulator answer commands 11 and 19 and take the upload's records through upload,
// busy in its own menu as model says. upload must outlive the simulator's serving.
void InstallSettingsUpload(UnitSimulator& sim, UnitModel& model, SettingsUpload& upload);

} // namespace unitsim
