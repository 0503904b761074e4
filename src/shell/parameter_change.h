#pragma once

#include "program_end.h"

class SettingsStore;
class ShellPrompter;

// The password-guarded change of the application settings. An accepted change ends
// the program; every other answer returns with nothing written.
void ChangeApplicationSettings(SettingsStore& store, ShellPrompter& prompter, const ProgramEnd& endProgram);
