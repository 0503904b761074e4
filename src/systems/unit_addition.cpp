#include "unit_addition.h"

#include "unit_rows.h"

#include <db/database.h>
#include <ui/app_title.h>
#include <ui/prompter.h>
#include <unit/systems_info.h>
#include <unit/unit_queries.h>

UnitAddition::UnitAddition(Database& db, UnitLink& link, Prompter& prompter, DialogLine::Progress progress)
    : db_(db), prompter_(prompter), line_(link, prompter, std::move(progress))
{
}

bool UnitAddition::Add(const UnitAddress& address)
{
    const bool added = Run(address);
    line_.Close();
    return added;
}

bool UnitAddition::Run(const UnitAddress& address)
{
    const auto listed = LoadUsedSystems(db_);
    if (!listed)
        return line_.Refuse(QStringLiteral("Σφάλμα ανάγνωσης της βάσης δεδομένων:\n") +
                            db_.LastError().description);
    for (const SystemInfo& unit : *listed)
        if (address.SameLineAs(unit))
            return line_.Refuse(QStringLiteral("Η θύρα %1 χρησιμοποιείται ήδη από το σύστημα %2 !")
                                    .arg(address.Display(), unit.serialNumber));
    if (!Open(address))
        return false;
    const auto identified = line_.Identify();
    if (!identified)
        return false;
    const IdentifyReply& identity = *identified;
    if (identity.serialNumber.isEmpty())
        return line_.Refuse(QStringLiteral("Το σύστημα δεν έδωσε σειριακό αριθμό !"));
    for (const SystemInfo& unit : *listed)
        if (unit.serialNumber == identity.serialNumber)
            return line_.Refuse(QStringLiteral("Το σύστημα με σειριακό αριθμό %1 υπάρχει ήδη στη λίστα !")
                                    .arg(identity.serialNumber));

    const auto code = prompter_.Code(
        kAppTitle + QStringLiteral(" / Κωδικός Ασφαλείας"),
        QStringLiteral("Δώστε τον κωδικό ασφαλείας του συστήματος %1 :").arg(identity.serialNumber));
    if (!code)
        return false;

    line_.Show(QStringLiteral("Ανάγνωση μοντέλου..."));
    ReplyBuffer reply{};
    if (!line_.Answered(line_.Ask(CmdReadModel, reply)))
        return false;
    const QString model = DecodeModelReply(reply);
    if (model.isEmpty())
        return line_.Refuse(QStringLiteral("Το σύστημα δεν έδωσε μοντέλο !"));
    const int kind = ModelKindOf(model);

    SettingsImage image{};
    if (!line_.ReadSettings(image))
        return false;
    if (ReadSecurityCode(image, LayoutFor(kind)) != *code)
        return line_.Refuse(QStringLiteral("Λάθος κωδικός ασφαλείας !"));
    QString problem;
    const auto settings = DecodeUnitSettings(image, kind, &problem);
    if (!settings)
        return line_.Refuse(QStringLiteral("Οι ρυθμίσεις του συστήματος δεν είναι έγκυρες. ") + problem);

    line_.Show(QStringLiteral("Αποθήκευση..."));
    const AddedUnit unit{identity.serialNumber,    model,
                         identity.softwareVersion, identity.hardwareVersion,
                         identity.systemNumber,    address.linkType,
                         address.LinkAddress()};
    if (!WriteUnitRows(db_, unit, *settings))
        return line_.Refuse(
            QStringLiteral("Σφάλμα εγγραφής στη βάση δεδομένων. Το σύστημα δεν προστέθηκε.\n") +
            db_.LastError().description);
    prompter_.Message(Prompter::Icon::Information, Prompter::Buttons::Ok, kAppTitle,
                      QStringLiteral("Το σύστημα %1 (%2) προστέθηκε.").arg(identity.serialNumber, model));
    return true;
}

bool UnitAddition::Open(const UnitAddress& address)
{
    return line_.Open(
        address, address.linkType == kLinkTcp
                     ? QStringLiteral("Δεν ήταν δυνατή η σύνδεση με τη διεύθυνση %1 !").arg(address.Display())
                     : QStringLiteral("Δεν ήταν δυνατό το άνοιγμα της θύρας %1 !").arg(address.Display()));
}
