#pragma once

#include "program_end.h"

#include <QString>

class Database;
class Prompter;
class QWidget;
class SettingsStore;

// Prepares and opens the program's one database connection from the settings: an
// SQLite file is first backed up and compacted. Returns true when it is open; otherwise
// the operator has been told why and the program has ended.
bool OpenDatabase(SettingsStore& store, Prompter& prompter, Database& db, QWidget* window,
                  const ProgramEnd& endProgram);

// Explains a database failure, offers the parameter change and ends the program.
void EndOnDatabaseFailure(SettingsStore& store, Prompter& prompter, Database& db,
                          const ProgramEnd& endProgram, long number, const QString& description);
