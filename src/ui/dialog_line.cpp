#include "dialog_line.h"

#include <link/unit_link.h>
#include <ui/app_title.h>
#include <ui/prompter.h>
#include <unit/settings_image_read.h>
#include <unit/unit_queries.h>

QString LinkFailureText(LinkResult result)
{
    switch (result) {
    case LinkOk:
        break;
    case LinkNoAnswer:
        return QStringLiteral("Το σύστημα δεν απαντά. Ελέγξτε τη σύνδεση και την τροφοδοσία του !");
    case LinkMenuBusy:
        return QStringLiteral(
            "Το σύστημα βρίσκεται σε προγραμματισμό από το μενού του. Δοκιμάστε ξανά αργότερα !");
    case LinkNotSupported:
        return QStringLiteral("Το σύστημα δεν υποστηρίζει την εντολή. Παρακαλώ καλέστε το service !");
    case LinkFailure:
        return QStringLiteral("Σφάλμα επικοινωνίας με το σύστημα !");
    }
    return {};
}

DialogLine::DialogLine(UnitLink& link, Prompter& prompter, Progress progress)
    : link_(link), prompter_(prompter), progress_(std::move(progress))
{
}

bool DialogLine::Open(const UnitAddress& address, const QString& refusal)
{
    linkSerial_ = address.LinkSerial();
    Show(QStringLiteral("Σύνδεση με %1...").arg(address.Display()));
    return OpenDialogLine(link_, address) || Refuse(refusal);
}

LinkResult DialogLine::Ask(quint8 command, ReplyBuffer& reply)
{
    RequestFrame request{command};
    return link_.DeviceTransaction(request, reply, 1, true, linkSerial_, kDialogLinkElement);
}

std::optional<IdentifyReply> DialogLine::Identify()
{
    Show(QStringLiteral("Αναγνώριση συστήματος..."));
    ReplyBuffer reply{};
    if (!Answered(Ask(CmdIdentify, reply)))
        return std::nullopt;
    return DecodeIdentifyReply(reply);
}

bool DialogLine::ReadSettings(SettingsImage& image)
{
    return Answered(ReadSettingsImage(link_, linkSerial_, kDialogLinkElement, image, [this](int blocks) {
        Show(QStringLiteral("Ανάγνωση ρυθμίσεων: %1 / %2").arg(blocks).arg(kSettingsBlockCount));
    }));
}

bool DialogLine::Answered(LinkResult result)
{
    return result == LinkOk || Refuse(LinkFailureText(result));
}

bool DialogLine::Refuse(const QString& text)
{
    Show(QString());
    prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::Ok, kAppTitle, text);
    return false;
}

void DialogLine::Show(const QString& text) const
{
    if (progress_)
        progress_(text);
}

void DialogLine::Close()
{
    link_.CloseAll();
    Show(QString());
}
