#pragma once

#include "settings_upload.h"

#include <ui/dialog_line.h>

#include <QString>

#include <functional>

class Database;
class Prompter;
class QWidget;
class SystemSettingsFrm;
class UnitLink;
struct SystemInfo;

// Changing a listed unit's settings: its image is read, shown in the settings dialog and,
// once the operator has confirmed entries that pass the checks, encoded, written into the
// unit, committed with the clock, read back and stored in the database. Every failure is
// told to the operator; the database changes only after the unit holds the new image. Uses
// element 0 of the link, closed again before the dialog shows and at the end.
class SettingsChange
{
public:
    // Shows the dialog modally; the dialog's Tag is "True" after a confirmed OK.
    using ShowDialog = std::function<void(SystemSettingsFrm&)>;
    using Progress = DialogLine::Progress;

    // pcClock is the PC clock, read when the commit is sent while the dialog asks for it.
    SettingsChange(Database& db, UnitLink& link, Prompter& prompter, ShowDialog show, Progress progress = {},
                   int recordReplyWait = kRecordReplyWait, CommitClock pcClock = QDateTime::currentDateTime);

    // True when the unit and the database carry the new settings.
    bool Run(const SystemInfo& unit, QWidget* dialogParent = nullptr);

private:
    bool Exchange(const SystemInfo& unit, QWidget* dialogParent);
    // The operator's checked entries encoded into image, and the clock to commit; false after
    // Cancel.
    bool Edit(const SystemInfo& unit, SettingsImage& image, CommitClock& clock, QWidget* dialogParent);
    // Opens the unit's line and makes sure the listed unit answers on it.
    bool Reach(const SystemInfo& unit);

    Database& db_;
    UnitLink& link_;
    Prompter& prompter_;
    ShowDialog show_;
    DialogLine line_;
    int recordReplyWait_;
    CommitClock pcClock_;
};

// What the operator is told when an upload did not end in the unit holding the new image.
QString UploadFailureText(const UploadOutcome& outcome);
