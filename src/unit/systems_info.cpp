#include "systems_info.h"

#include <db/database.h>

#include <QSqlRecord>

std::optional<std::vector<SystemInfo>> LoadUsedSystems(Database& db)
{
    // A stated order: without one a server may return updated rows in another order
    // at every query, and the grid would shuffle between starts.
    const auto rows = db.Select(QStringLiteral(
        "SELECT SyI_Serialnumber, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Commport, SyI_Aux1, "
        "SyI_Locationnumber, SyI_Systemname FROM Systems_Info WHERE SyI_Used=1 "
        "ORDER BY SyI_Serialnumber"));
    if (!rows)
        return std::nullopt;
    std::vector<SystemInfo> units;
    units.reserve(rows->size());
    for (const QSqlRecord& row : *rows) {
        SystemInfo u;
        u.serialNumber = row.value(0).toString();
        u.model = row.value(1).toString();
        u.softwareVersion = row.value(2).toString();
        u.hardwareVersion = row.value(3).toString();
        u.commPort = row.value(4).toInt();
        u.aux1 = row.value(5).toString();
        u.locationNumber = row.value(6);
        u.systemName = row.value(7);
        units.push_back(std::move(u));
    }
    return units;
}
