#include "unit_rows.h"

#include <db/database.h>
#include <unit/settings_image_store.h>

#include <QSet>

namespace {
bool WriteSystemRow(DbSession& db, const AddedUnit& u)
{
    const auto existing =
        db.Select(QStringLiteral("SELECT 1 FROM Systems_Info WHERE SyI_Serialnumber=?"), {u.serialNumber});
    if (!existing)
        return false;
    if (!existing->empty())
        return db
            .Exec(QStringLiteral(
                      "UPDATE Systems_Info SET SyI_Used=1, SyI_Online=0, SyI_Commport=?, SyI_Aux1=?, "
                      "SyI_Model=?, SyI_Softver=?, SyI_Hardver=?, SyI_Locationnumber=? "
                      "WHERE SyI_Serialnumber=?"),
                  {u.linkType, u.linkAddress, u.model, u.softwareVersion, u.hardwareVersion, u.systemNumber,
                   u.serialNumber})
            .has_value();
    return db
        .Exec(
            QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, SyI_Commport, "
                           "SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber, "
                           "SyI_EventsTable_Lastpagesn, SyI_EventsTable_Pagebyteswritt, "
                           "SyI_EventsTable_LastrecSN) VALUES (?, 1, 0, ?, ?, ?, ?, ?, ?, 0, 0, 0)"),
            {u.serialNumber, u.linkType, u.linkAddress, u.model, u.softwareVersion, u.hardwareVersion,
             u.systemNumber})
        .has_value();
}

// Rows 1 to count of one of the unit's tables: those beyond are dropped, missing ones made with
// insertSql (serial number, row number), existing ones left as they are.
bool KeepRows(DbSession& db, const QString& table, const QString& serialColumn, const QString& numberColumn,
              const QString& insertSql, const QString& serial, int count)
{
    const QString where = QStringLiteral(" WHERE %1=?").arg(serialColumn);
    if (!db.Exec(QStringLiteral("DELETE FROM %1%2 AND %3>?").arg(table, where, numberColumn),
                 {serial, count}))
        return false;
    const auto rows =
        db.Select(QStringLiteral("SELECT %1 FROM %2%3").arg(numberColumn, table, where), {serial});
    if (!rows)
        return false;
    QSet<int> present;
    for (const QSqlRecord& r : *rows)
        present.insert(r.value(0).toInt());
    for (int n = 1; n <= count; ++n)
        if (!present.contains(n) && !db.Exec(insertSql, {serial, n}))
            return false;
    return true;
}

bool Write(DbSession& db, const AddedUnit& u, const UnitSettings& s)
{
    return WriteSystemRow(db, u) &&
           KeepRows(
               db, QStringLiteral("Sensors_Info"), QStringLiteral("SeI_SyI_Serialnumber"),
               QStringLiteral("SeI_Sensornumber"),
               QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                              "SeI_Sensortype, SeI_RecordsTable_Lastpagesn, "
                              "SeI_RecordsTable_Pagebyteswrit, SeI_RecordsTable_LastrecSN) "
                              "VALUES (?, ?, 0, 0, 0, 0, 0)"),
               u.serialNumber, int(s.sensors.size())) &&
           KeepRows(db, QStringLiteral("Powermonitoring_Info"), QStringLiteral("PmI_SyI_Serialnumber"),
                    QStringLiteral("PmI_Powernumber"),
                    QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, "
                                   "PmI_Used) VALUES (?, ?, 0)"),
                    u.serialNumber, s.powerInputs) &&
           StoreSettingsImageData(db, u.serialNumber, s);
}
} // namespace

bool WriteUnitRows(Database& db, const AddedUnit& unit, const UnitSettings& settings)
{
    return db.Transaction([unit, settings](DbSession& session) { return Write(session, unit, settings); });
}

bool RemoveUnit(Database& db, const QString& serialNumber)
{
    return db
        .Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Used=0 WHERE SyI_Serialnumber=?"), {serialNumber})
        .has_value();
}
