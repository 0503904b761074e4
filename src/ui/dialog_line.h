#pragma once

#include <link/frame.h>
#include <link/identify_reply.h>
#include <link/link_result.h>
#include <unit/settings_image_layout.h>
#include <unit/unit_address.h>

#include <functional>
#include <optional>

class Prompter;
class UnitLink;

// The line an operator's dialog holds with one unit while no scan runs: the dialogs' element of
// the link, opened on the unit's address. Every failure on it is told to the operator, and each
// step shows its progress.
class DialogLine
{
public:
    using Progress = std::function<void(const QString& text)>;

    DialogLine(UnitLink& link, Prompter& prompter, Progress progress);

    // False after telling the operator refusal.
    bool Open(const UnitAddress& address, const QString& refusal);
    LinkResult Ask(quint8 command, ReplyBuffer& reply);
    // Who answers on the line; nothing after telling the operator why no one does.
    std::optional<IdentifyReply> Identify();
    // The unit's whole settings image; false after telling the operator why it was not read.
    bool ReadSettings(SettingsImage& image);
    // Whether a transaction went through; false after telling the operator why not.
    bool Answered(LinkResult result);
    // Tells the operator text; always false, for the refusing step to return.
    bool Refuse(const QString& text);
    void Show(const QString& text) const;
    // Closes the link and clears the progress.
    void Close();

    quint8 LinkSerial() const { return linkSerial_; }

private:
    UnitLink& link_;
    Prompter& prompter_;
    Progress progress_;
    quint8 linkSerial_ = 0;
};

// What the operator is told when a transaction with the unit fails.
QString LinkFailureText(LinkResult result);
