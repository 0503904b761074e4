#include "status_mirror.h"

#include "status_reply.h"

#include <db/db_session.h>
#include <db/wall_clock.h>

#include <QSet>
#include <QStringList>

#include <functional>
#include <vector>

namespace {
// Writes, in one statement, the rows of every used number within 1..limit that usedSql gives for
// the unit: insert names the table and columns, tuple holds one row's placeholders, conflict says
// how an existing row is updated, and valuesOf gives a row's values.
bool UpsertUsed(DbSession& db, const QString& serial, const QString& usedSql, int limit,
                const QString& insert, const QString& tuple, const QString& conflict,
                const std::function<QVariantList(int)>& valuesOf)
{
    const auto rows = db.Select(usedSql, {serial});
    if (!rows)
        return false;
    QStringList tuples;
    QVariantList values;
    for (const QSqlRecord& row : *rows) {
        const int n = row.value(0).toInt();
        if (n < 1 || n > limit)
            continue;
        tuples << tuple;
        values << valuesOf(n);
    }
    return tuples.isEmpty() || db.Exec(insert + QStringLiteral(" VALUES ") +
                                           tuples.join(QStringLiteral(", ")) + QLatin1Char(' ') + conflict,
                                       values)
                                   .has_value();
}
} // namespace

bool MirrorFaults(DbSession& db, const QString& serial, std::span<const quint8> reply)
{
    const auto rows =
        db.Select(QStringLiteral(
                      "SELECT SyF_Faulttype, SyF_Faultinfo FROM Systems_Faults WHERE SyF_SyI_Serialnumber=?"),
                  {serial});
    if (!rows)
        return false;
    QSet<QPair<int, QString>> stored;
    for (const QSqlRecord& row : *rows)
        stored.insert({row.value(0).toInt(), row.value(1).toString()});
    const std::vector<UnitFault> active = StatusFaults(reply);
    for (const UnitFault& fault : AllUnitFaults()) {
        const bool set = std::find(active.begin(), active.end(), fault) != active.end();
        const bool present = stored.contains({fault.type, fault.info});
        if (set && !present &&
            !db.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                    "SyF_Faultinfo) VALUES (?, ?, ?)"),
                     {serial, fault.type, fault.info}))
            return false;
        if (!set && present &&
            !db.Exec(QStringLiteral("DELETE FROM Systems_Faults WHERE SyF_SyI_Serialnumber=? AND "
                                    "SyF_Faulttype=? AND SyF_Faultinfo=?"),
                     {serial, fault.type, fault.info}))
            return false;
    }
    return true;
}

bool MirrorConditions(DbSession& db, const QString& serial, std::span<const quint8> reply, int sensorInputs,
                      int powerInputs)
{
    if (!db.Exec(QStringLiteral("INSERT INTO Systems_Current_Condition (SyCC_SyI_Serialnumber, "
                                "SyCC_Alarmcondition, SyCC_RelayBcondition, SyCC_Inacall, SyCC_Rtc) "
                                "VALUES (?, ?, ?, 0, ?) ON CONFLICT (SyCC_SyI_Serialnumber) DO UPDATE SET "
                                "SyCC_Alarmcondition=excluded.SyCC_Alarmcondition, "
                                "SyCC_RelayBcondition=excluded.SyCC_RelayBcondition, SyCC_Inacall=0, "
                                "SyCC_Rtc=excluded.SyCC_Rtc"),
                 {serial, int(StatusAlarmCondition(reply)), int(StatusRelayBCondition(reply)),
                  WallClockValue(StatusClock(reply))}))
        return false;

    return UpsertUsed(db, serial,
                      QStringLiteral("SELECT SeI_Sensornumber FROM Sensors_Info WHERE SeI_SyI_Serialnumber=? "
                                     "AND SeI_Used=1"),
                      std::min(sensorInputs, kStatusSensorEntries),
                      QStringLiteral("INSERT INTO Sensors_Current_Condition (SeCC_SyI_Serialnumber, "
                                     "SeCC_Sensornumber, SeCC_Currvalue, SeCC_Outofbounds, SeCC_Notpowered, "
                                     "SeCC_Alarmcondition)"),
                      QStringLiteral("(?, ?, ?, ?, ?, ?)"),
                      QStringLiteral("ON CONFLICT (SeCC_SyI_Serialnumber, SeCC_Sensornumber) DO UPDATE SET "
                                     "SeCC_Currvalue=excluded.SeCC_Currvalue, "
                                     "SeCC_Outofbounds=excluded.SeCC_Outofbounds, "
                                     "SeCC_Notpowered=excluded.SeCC_Notpowered, "
                                     "SeCC_Alarmcondition=excluded.SeCC_Alarmcondition"),
                      [&](int n) -> QVariantList {
                          const SensorReading s = StatusSensor(reply, n);
                          return {serial, n, s.value, int(s.outOfBounds), int(s.notPowered), int(s.alarm)};
                      }) &&
           UpsertUsed(db, serial,
                      QStringLiteral("SELECT PmI_Powernumber FROM Powermonitoring_Info WHERE "
                                     "PmI_SyI_Serialnumber=? AND PmI_Used=1"),
                      std::min(powerInputs, kStatusPowerInputs),
                      QStringLiteral("INSERT INTO Powermonitoring_Current_Condit (PmCC_SyI_Serialnumber, "
                                     "PmCC_Powernumber, PmCC_Powerfault, PmCC_Powercondition)"),
                      QStringLiteral("(?, ?, ?, ?)"),
                      QStringLiteral("ON CONFLICT (PmCC_SyI_Serialnumber, PmCC_Powernumber) DO UPDATE SET "
                                     "PmCC_Powerfault=excluded.PmCC_Powerfault, "
                                     "PmCC_Powercondition=excluded.PmCC_Powercondition"),
                      [&](int p) -> QVariantList {
                          const PowerReading v = StatusPower(reply, p);
                          return {serial, p, int(v.fault), int(v.condition)};
                      });
}

bool MirrorStatus(DbSession& db, const QString& serial, std::span<const quint8> reply, int sensorInputs,
                  int powerInputs)
{
    return db.Transaction([serial, status = std::vector(reply.begin(), reply.end()), sensorInputs,
                           powerInputs](DbSession& session) {
        return MirrorFaults(session, serial, status) &&
               MirrorConditions(session, serial, status, sensorInputs, powerInputs);
    });
}
