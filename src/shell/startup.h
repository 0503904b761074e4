#pragma once

#include "program_end.h"

#include <array>

class Database;
class Mainfrm;
class SettingsStore;
class ShellPrompter;

// The tables emptied at every start, in this order: they describe the present moment only.
inline constexpr std::array<const char*, 8> LiveTables = {
    "Powermonitoring_Current_Condit",
    "Powermonitoring_Events",
    "Sensors_Current_Condition",
    "Sensors_Events",
    "Systems_Current_Condition",
    "Systems_Faults",
    "Terminal_Requests",
    "Terminal_Ping_Requests",
};

// The start of the program once it knows it is the only instance: the first-run
// set-up, the database, the live tables emptied, every used unit offline, the grid
// filled and, when asked for, the first Connect. Returns false when the program ended.
bool RunStartup(SettingsStore& store, ShellPrompter& prompter, Database& db, Mainfrm& window,
                const ProgramEnd& endProgram);
