#include "bench_units.h"

#include <db/database.h>
#include <log_commands.h>
#include <unit_commands.h>

BenchUnits::BenchUnits(Database& db, const QString& folder, int count)
{
    for (int u = 0; u < count; ++u) {
        const QString serial = QStringLiteral("B%1").arg(u, 4, 10, QLatin1Char('0'));
        auto model = std::make_unique<unitsim::UnitModel>();
        model->Update([&](unitsim::UnitState& s) {
            s.identity.serialNumber = serial;
            for (int n = 0; n < 20; ++n)
                s.sensors[n].tenths = 100 + n;
        });
        auto sim = std::make_unique<unitsim::SimThread>();
        unitsim::InstallUnitCommands(sim->Sim(), *model);
        logs.push_back(std::make_unique<unitsim::LogMemory>());
        events.push_back(std::make_unique<unitsim::CurrentEvents>());
        unitsim::InstallLogCommands(sim->Sim(), *model, *logs.back(), *events.back());
        sim->ServePty(folder + QStringLiteral("/com%1").arg(u + 1));
        models.push_back(std::move(model));
        sims.push_back(std::move(sim));
    }
    // The work of a transaction runs on the connection's thread: only the rows go in it.
    db.Transaction([&](DbSession& s) {
        for (int u = 0; u < count; ++u) {
            const QString serial = QStringLiteral("B%1").arg(u, 4, 10, QLatin1Char('0'));
            s.Exec(QStringLiteral(
                       "INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, "
                       "SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES (?, 1, 1, ?, "
                       "'TELVARON-1', '1', '1', 1)"),
                   {serial, QStringLiteral("%1-115200").arg(u + 1)});
            for (int n = 1; n <= 20; ++n)
                s.Exec(QStringLiteral(
                            "INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                            "SeI_Sensortype) VALUES (?, ?, 1, 1)"),
                        {serial, n});
            for (int p = 1; p <= 4; ++p)
                s.Exec(
                    QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, "
                                   "PmI_Used) VALUES (?, ?, 1)"),
                    {serial, p});
        }
        return true;
    });
}
