// Usage: log_download_bench [passes, default 30]. One unit on a pseudo-terminal, paced at 115200
// baud with no turnaround, whose 20 sensor logs and event log are full; the real engine takes them
// in passes 500 ms apart, as the schedule does while log pages are pending. Prints the samples
// stored per second and what the frame sizes and the 500 ms re-arm allow. PostgreSQL runs when
// TELVARON_TEST_PG_PORT names the test server.
#include "bench_scan.h"
#include "headless.h"

#include "test_databases.h"

#include <db/database.h>
#include <link/reply_length.h>
#include <link/unit_link.h>
#include <log_commands.h>
#include <scan/scan_engine.h>
#include <sim_thread.h>
#include <unit_commands.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int kSensors = 20;
constexpr int kSamplesPerPage = 202;
constexpr int kSensorPages = 204;
constexpr int kEventPages = 16;
constexpr double kByteSeconds = 10.0 / 115200;
constexpr double kRearmSeconds = 0.5;

// Bytes on the line in one pass of an online unit whose logs all have a half page to give: the
// request frame and the reply (status byte and payload) of each command.
int PassBytes()
{
    int bytes = 0;
    for (const UnitCommand command :
         {CmdReadStatus, CmdReadSensorEvents, CmdReadPowerEvents, CmdReadLogPointers})
        bytes += 15 + 1 + ReplyLength(command);
    return bytes + (kSensors + 1) * (15 + 1 + ReplyLength(CmdReadLogPage));
}

qint64 Taken(Database& db)
{
    const auto rows = db.Select(QStringLiteral("SELECT SUM(SeI_RecordsTable_LastrecSN) FROM Sensors_Info"));
    return rows && !rows->empty() ? rows->front().value(0).toLongLong() : 0;
}

void Run(Database::Driver driver, int passes)
{
    const char* name = driver == Database::Driver::SQLite ? "SQLite" : "PostgreSQL";
    auto testDb = TestDatabase::Create(driver);
    if (!testDb)
        return;
    Database& db = testDb->Db();
    db.Transaction([&](DbSession& s) {
        s.Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, "
                              "SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES ('D1', 1, 1, "
                              "'1-115200', 'TELVARON-1', '1', '1', 1)"));
        for (int n = 1; n <= kSensors; ++n)
            s.Exec(
                QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                               "SeI_Sensortype) VALUES ('D1', ?, 1, 1)"),
                {n});
        s.Exec(QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, "
                              "PmI_Used) VALUES ('D1', 1, 1)"));
        return true;
    });

    unitsim::UnitModel model;
    model.Update([](unitsim::UnitState& s) { s.identity.serialNumber = QStringLiteral("D1"); });
    unitsim::LogMemory logs;
    unitsim::PrefillLogs(logs, kSensors, kSensorPages * kSamplesPerPage, kEventPages * 48, 1);
    unitsim::CurrentEvents events;
    unitsim::SimThread sim;
    unitsim::InstallUnitCommands(sim.Sim(), model);
    unitsim::InstallLogCommands(sim.Sim(), model, logs, events);
    sim.Sim().SetPaced(true);
    sim.Sim().SetTurnaround(0);
    QTemporaryDir dir;
    sim.ServePty(dir.filePath(QStringLiteral("com1")));

    BenchScan scan(db, dir.path());
    ScanEngine& engine = scan.engine;

    engine.ScanSystems(); // identifies the unit and takes the first halves
    const qint64 first = Taken(db);
    QElapsedTimer clock;
    clock.start();
    for (int p = 1; p < passes; ++p) {
        QEventLoop wait;
        QTimer::singleShot(scan.timers.interval, &wait, &QEventLoop::quit);
        wait.exec();
        engine.ScanSystems();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const qint64 samples = Taken(db) - first;

    const double passSeconds = PassBytes() * kByteSeconds + kRearmSeconds;
    // Halves alternate between 100 and 102 samples.
    const double allowed = kSensors * 101.0 / passSeconds;
    const double measured = samples / seconds;
    std::printf("%s: %d passes after the first, %lld samples in %.2f s\n", name, passes - 1, samples,
                seconds);
    std::printf("  schedule: %d bytes per pass = %.3f s on the line + %.1f s re-arm; %d samples per pass -> "
                "%.0f samples/s allowed\n",
                PassBytes(), PassBytes() * kByteSeconds, kRearmSeconds, kSensors * 101, allowed);
    std::printf("  measured: %.0f samples/s = %.1f%% of allowed (target >= 95%%); last re-arm %d ms\n",
                measured, 100 * measured / allowed, scan.timers.interval);
}
} // namespace

int main(int argc, char** argv)
{
    RunOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const int passes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    Run(Database::Driver::SQLite, passes);
    if (TestPgServer())
        Run(Database::Driver::PostgreSQL, passes);
    else
        std::printf("PostgreSQL: not run (TELVARON_TEST_PG_PORT not set)\n");
    return 0;
}
