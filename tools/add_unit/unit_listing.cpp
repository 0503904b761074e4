#include "unit_listing.h"

#include "command_line_prompter.h"

#include <db/database.h>
#include <systems/unit_addition.h>
#include <ui/app_title.h>
#include <ui/dialog_line.h>
#include <ui/prompter.h>
#include <unit/systems_info.h>
#include <unit/unit_address.h>

namespace {
// The serial number of the unit at address, or an empty text when it does not tell it. Nothing is
// told: the addition that follows tells why a unit cannot be listed.
QString SerialNumberAt(UnitLink& link, const UnitAddress& address)
{
    QString untold;
    QTextStream nowhere(&untold);
    CommandLinePrompter quiet(QString(), nowhere);
    DialogLine line(link, quiet, {});
    std::optional<IdentifyReply> identity;
    if (line.Open(address, QString()))
        identity = line.Identify();
    line.Close();
    return identity ? identity->serialNumber : QString();
}
} // namespace

ListingResult ListUnit(Database& db, UnitLink& link, Prompter& prompter, const UnitAddress& address)
{
    // The addition refuses a listed unit's line before it asks the unit anything: the unit is
    // asked first here, so that a unit listed already is no failure.
    const QString serial = SerialNumberAt(link, address);
    const auto listed = LoadUsedSystems(db);
    if (listed && !serial.isEmpty())
        for (const SystemInfo& unit : *listed)
            if (unit.serialNumber == serial) {
                prompter.Message(
                    Prompter::Icon::Information, Prompter::Buttons::Ok, kAppTitle,
                    QStringLiteral("Το σύστημα με σειριακό αριθμό %1 υπάρχει ήδη στη λίστα.").arg(serial));
                return ListingResult::AlreadyListed;
            }
    return UnitAddition(db, link, prompter).Add(address) ? ListingResult::Added : ListingResult::Refused;
}

std::optional<UnitAddress> UnitAddressFromText(const QString& text, QString* problem)
{
    if (text.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) {
        bool numeric = false;
        const int com = text.mid(3).toInt(&numeric);
        if (numeric && com >= kFirstComPort && com <= kLastComPort)
            return SerialAddress(com);
        *problem = QStringLiteral("%1: no serial port COM%2 to COM%3")
                       .arg(text)
                       .arg(kFirstComPort)
                       .arg(kLastComPort);
        return std::nullopt;
    }
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        *problem = QStringLiteral("%1: neither COMn nor IP:port").arg(text);
        return std::nullopt;
    }
    return TcpAddress(text.left(colon), text.mid(colon + 1), problem);
}
