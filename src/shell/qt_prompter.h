#pragma once

#include "shell_prompter.h"

class QWidget;

// The operator's own answers, through modal Qt dialogs.
class QtPrompter : public ShellPrompter
{
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    void SetParent(QWidget* parent) { parent_ = parent; }

    Answer Message(Icon icon, Buttons buttons, const QString& title, const QString& text) override;
    std::optional<QString> Password(const QString& caption, const QString& label) override;
    std::optional<QString> Code(const QString& title, const QString& label) override;
    bool EditSettings(SettingsStore& store) override;

private:
    QWidget* parent_;
};
