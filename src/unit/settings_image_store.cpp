#include "settings_image_store.h"

#include <db/db_session.h>

namespace {
QVariant Limit(const std::optional<float>& limit)
{
    return limit ? QVariant(*limit) : QVariant(QMetaType::fromType<float>());
}

bool Store(DbSession& db, const QString& serial, const UnitSettings& s)
{
    if (!db.Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Locationnumber=?, SyI_Systemname=? "
                                "WHERE SyI_Serialnumber=?"),
                 {s.systemNumber, s.systemName, serial}))
        return false;
    for (int n = 1; n <= int(s.sensors.size()); ++n) {
        const SensorSettingsRow& sensor = s.sensors[n - 1];
        if (!db.Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Used=?, SeI_Sensortype=?, SeI_Sensorname=?, "
                                    "SeI_Maxlimit=?, SeI_Minlimit=? "
                                    "WHERE SeI_SyI_Serialnumber=? AND SeI_Sensornumber=?"),
                     {sensor.inUse ? 1 : 0, sensor.type, sensor.name, Limit(sensor.maximum),
                      Limit(sensor.minimum), serial, n}))
            return false;
    }
    for (int p = 1; p <= s.powerInputs; ++p) {
        // Input 1 is the supply; the mains mode counts the inputs watched after it.
        const bool used = p == 1 || p - 1 <= s.mainsMode;
        if (!db.Exec(QStringLiteral("UPDATE Powermonitoring_Info SET PmI_Used=? "
                                    "WHERE PmI_SyI_Serialnumber=? AND PmI_Powernumber=?"),
                     {used ? 1 : 0, serial, p}))
            return false;
    }
    return true;
}
} // namespace

bool StoreSettingsImageData(DbSession& db, const QString& serialNumber, const UnitSettings& settings)
{
    return db.Transaction(
        [serialNumber, settings](DbSession& session) { return Store(session, serialNumber, settings); });
}
