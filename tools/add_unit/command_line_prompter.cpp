#include "command_line_prompter.h"

CommandLinePrompter::CommandLinePrompter(QString code, QTextStream& out) : code_(std::move(code)), out_(out)
{
}

Prompter::Answer CommandLinePrompter::Message(Icon, Buttons buttons, const QString&, const QString& text)
{
    out_ << text << Qt::endl;
    return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
}

std::optional<QString> CommandLinePrompter::Password(const QString&, const QString&)
{
    return std::nullopt;
}

std::optional<QString> CommandLinePrompter::Code(const QString&, const QString&)
{
    return code_;
}
