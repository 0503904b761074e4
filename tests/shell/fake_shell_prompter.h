#pragma once

#include <fake_prompter.h>
#include <shell/shell_prompter.h>

#include <deque>
#include <functional>

// The operator's answers for the shell, which also shows the application settings.
class FakeShellPrompter : public FakeAnswers<ShellPrompter>
{
public:
    bool EditSettings(SettingsStore& store) override
    {
        ++settingsShown;
        if (settingsAnswers.empty())
            return false;
        auto answer = settingsAnswers.front();
        settingsAnswers.pop_front();
        return answer(store);
    }

    // Each showing of the settings dialog runs the next of these in place of the operator.
    std::deque<std::function<bool(SettingsStore&)>> settingsAnswers;
    int settingsShown = 0;
};
