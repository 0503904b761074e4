#include "unit_addition.h"

#include "settings_image_read.h"
#include "systems_info.h"
#include "unit_queries.h"
#include "unit_rows.h"

#include <db/database.h>
#include <link/unit_link.h>
#include <shell/app_title.h>
#include <shell/prompter.h>

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

UnitAddition::UnitAddition(Database& db, UnitLink& link, Prompter& prompter, Progress progress)
    : db_(db), link_(link), prompter_(prompter), progress_(std::move(progress))
{
}

bool UnitAddition::Add(const UnitAddress& address)
{
    const bool added = Run(address);
    link_.CloseAll();
    Show(QString());
    return added;
}

bool UnitAddition::Run(const UnitAddress& address)
{
    const auto listed = LoadUsedSystems(db_);
    if (!listed)
        return Refuse(QStringLiteral("Σφάλμα ανάγνωσης της βάσης δεδομένων:\n") +
                      db_.lastError().description);
    for (const SystemInfo& unit : *listed)
        if (address.SameLineAs(unit))
            return Refuse(QStringLiteral("Η θύρα %1 χρησιμοποιείται ήδη από το σύστημα %2 !")
                              .arg(address.Display(), unit.serialNumber));
    if (!Open(address))
        return false;

    Show(QStringLiteral("Αναγνώριση συστήματος..."));
    ReplyBuffer reply{};
    LinkResult r = Ask(CmdIdentify, reply);
    if (r != LinkOk)
        return Refuse(LinkFailureText(r));
    const IdentifyReply identity = DecodeIdentifyReply(reply);
    if (identity.serialNumber.isEmpty())
        return Refuse(QStringLiteral("Το σύστημα δεν έδωσε σειριακό αριθμό !"));
    for (const SystemInfo& unit : *listed)
        if (unit.serialNumber == identity.serialNumber)
            return Refuse(QStringLiteral("Το σύστημα με σειριακό αριθμό %1 υπάρχει ήδη στη λίστα !")
                              .arg(identity.serialNumber));

    const auto code = prompter_.Code(
        AppTitle + QStringLiteral(" / Κωδικός Ασφαλείας"),
        QStringLiteral("Δώστε τον κωδικό ασφαλείας του συστήματος %1 :").arg(identity.serialNumber));
    if (!code)
        return false;

    Show(QStringLiteral("Ανάγνωση μοντέλου..."));
    r = Ask(CmdReadModel, reply);
    if (r != LinkOk)
        return Refuse(LinkFailureText(r));
    const QString model = DecodeModelReply(reply);
    if (model.isEmpty())
        return Refuse(QStringLiteral("Το σύστημα δεν έδωσε μοντέλο !"));
    const int kind = ModelKindOf(model);

    SettingsImage image{};
    r = ReadSettingsImage(link_, linkSerial_, kDialogLinkElement, image, [&](int blocks) {
        Show(QStringLiteral("Ανάγνωση ρυθμίσεων: %1 / %2").arg(blocks).arg(kSettingsBlockCount));
    });
    if (r != LinkOk)
        return Refuse(LinkFailureText(r));
    if (ReadSecurityCode(image, LayoutFor(kind)) != *code)
        return Refuse(QStringLiteral("Λάθος κωδικός ασφαλείας !"));
    QString problem;
    const auto settings = DecodeUnitSettings(image, kind, &problem);
    if (!settings)
        return Refuse(QStringLiteral("Οι ρυθμίσεις του συστήματος δεν είναι έγκυρες. ") + problem);

    Show(QStringLiteral("Αποθήκευση..."));
    const AddedUnit unit{identity.serialNumber,    model,
                         identity.softwareVersion, identity.hardwareVersion,
                         identity.systemNumber,    address.linkType,
                         address.LinkAddress()};
    if (!WriteUnitRows(db_, unit, *settings))
        return Refuse(QStringLiteral("Σφάλμα εγγραφής στη βάση δεδομένων. Το σύστημα δεν προστέθηκε.\n") +
                      db_.lastError().description);
    prompter_.Message(Prompter::Icon::Information, Prompter::Buttons::Ok, AppTitle,
                      QStringLiteral("Το σύστημα %1 (%2) προστέθηκε.").arg(identity.serialNumber, model));
    return true;
}

bool UnitAddition::Refuse(const QString& text)
{
    Show(QString());
    prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::Ok, AppTitle, text);
    return false;
}

bool UnitAddition::Open(const UnitAddress& address)
{
    linkSerial_ = address.LinkSerial();
    if (address.linkType == kLinkTcp)
        Show(QStringLiteral("Σύνδεση με %1...").arg(address.Display()));
    if (OpenDialogLine(link_, address))
        return true;
    return Refuse(
        address.linkType == kLinkTcp
            ? QStringLiteral("Δεν ήταν δυνατή η σύνδεση με τη διεύθυνση %1 !").arg(address.Display())
            : QStringLiteral("Δεν ήταν δυνατό το άνοιγμα της θύρας %1 !").arg(address.Display()));
}

LinkResult UnitAddition::Ask(quint8 command, ReplyBuffer& reply)
{
    RequestFrame request{command};
    return link_.DeviceTransaction(request, reply, 1, true, linkSerial_, kDialogLinkElement);
}

void UnitAddition::Show(const QString& text)
{
    if (progress_)
        progress_(text);
}
