#pragma once

#include <QString>

#include <optional>

// Every question the program asks the operator goes through here, so that tests
// can answer in place of a person.
class Prompter
{
public:
    enum class Icon { Information, Exclamation, Critical };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;

    virtual Answer Message(Icon icon, Buttons buttons, const QString& title, const QString& text) = 0;

    // The parameter-password prompt: the typed text after OK, nothing after Cancel or a close.
    virtual std::optional<QString> Password(const QString& caption, const QString& label) = 0;

    // A code typed by the operator, shown as one "*" per character: the code after OK, nothing
    // after Cancel or a close.
    virtual std::optional<QString> Code(const QString& title, const QString& label) = 0;
};
