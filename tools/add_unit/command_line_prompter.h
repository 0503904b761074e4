#pragma once

#include <ui/prompter.h>

#include <QTextStream>

// The operator of a command-line tool: the security code is the one given on the command line,
// every message is written to out, and no question is ever agreed to.
class CommandLinePrompter : public Prompter
{
public:
    CommandLinePrompter(QString code, QTextStream& out);

    Answer Message(Icon icon, Buttons buttons, const QString& title, const QString& text) override;
    std::optional<QString> Password(const QString& caption, const QString& label) override;
    std::optional<QString> Code(const QString& title, const QString& label) override;

private:
    QString code_;
    QTextStream& out_;
};
