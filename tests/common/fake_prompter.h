#pragma once

#include <shell/shell_prompter.h>

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

// Answers in place of the operator, from queues the test fills, and records what was shown.
class FakePrompter : public ShellPrompter
{
public:
    struct Shown
    {
        Icon icon;
        Buttons buttons;
        QString title;
        QString text;
    };

    Answer Message(Icon icon, Buttons buttons, const QString& title, const QString& text) override
    {
        messages.push_back({icon, buttons, title, text});
        if (answers.empty())
            return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::optional<QString> Password(const QString& caption, const QString& label) override
    {
        passwordCaptions << caption + QLatin1Char('|') + label;
        if (passwords.empty())
            return std::nullopt;
        const bool typed = passwords.front().has_value();
        const QString text = passwords.front().value_or(QString());
        passwords.pop_front();
        return typed ? std::optional<QString>(text) : std::nullopt;
    }

    std::optional<QString> Code(const QString& title, const QString& label) override
    {
        textPrompts << title + QLatin1Char('|') + label;
        if (texts.empty())
            return std::nullopt;
        const std::optional<QString> text = texts.front();
        texts.pop_front();
        return text;
    }

    bool EditSettings(SettingsStore& store) override
    {
        ++settingsShown;
        if (settingsAnswers.empty())
            return false;
        auto answer = settingsAnswers.front();
        settingsAnswers.pop_front();
        return answer(store);
    }

    std::vector<Shown> messages;
    std::deque<Answer> answers;
    std::deque<std::optional<QString>> passwords;
    QStringList passwordCaptions;
    // Each code prompt takes the next of these; nothing (or an empty queue) answers Cancel.
    std::deque<std::optional<QString>> texts;
    QStringList textPrompts;
    // Each showing of the settings dialog runs the next of these in place of the operator.
    std::deque<std::function<bool(SettingsStore&)>> settingsAnswers;
    int settingsShown = 0;
};
