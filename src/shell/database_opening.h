#pragma once

#include "program_end.h"

#include <QString>

#include <functional>

class Database;
class QWidget;
class SettingsStore;
class ShellPrompter;

// How an SQLite file is made ready before it is opened; tests pass one that looks at the screen.
using FilePreparation = std::function<void(const QString& dbFile)>;
// Backs the file up and compacts it.
void BackUpAndCompact(const QString& dbFile);

// Prepares and opens the program's one database connection from the settings: an
// SQLite file is first backed up and compacted, with the window locked and painted
// before. Returns true when it is open; otherwise the operator has been told why and
// the program has ended.
bool OpenDatabase(SettingsStore& store, ShellPrompter& prompter, Database& db, QWidget* window,
                  const ProgramEnd& endProgram, const FilePreparation& prepare = BackUpAndCompact);

// Explains a database failure, offers the parameter change and ends the program.
void EndOnDatabaseFailure(SettingsStore& store, ShellPrompter& prompter, Database& db,
                          const ProgramEnd& endProgram, long number, const QString& description);
