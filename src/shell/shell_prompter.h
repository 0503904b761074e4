#pragma once

#include <ui/prompter.h>

class SettingsStore;

// The operator's answers the shell asks for beyond the shared ones.
class ShellPrompter : public Prompter
{
public:
    // The settings dialog, loaded afresh from the store; true when the operator's entries
    // were accepted and written.
    virtual bool EditSettings(SettingsStore& store) = 0;
};
