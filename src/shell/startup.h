#pragma once

#include "program_end.h"

class Database;
class Mainfrm;
class Prompter;
class SettingsStore;

// The start of the program once it knows it is the only instance: the first-run
// set-up, the database, the live tables emptied, every used unit offline, the grid
// filled and, when asked for, the first Connect. Returns false when the program ended.
bool RunStartup(SettingsStore& store, Prompter& prompter, Database& db, Mainfrm& window,
                const ProgramEnd& endProgram);
