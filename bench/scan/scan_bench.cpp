// Usage: scan_bench [units...] (default 1 10 50 200 1000). PostgreSQL runs when TELVARON_TEST_PG_PORT
// names the test server (scripts/pg-test-server).
#include "bench_scan.h"
#include "load_average.h"

#include "test_databases.h"

#include <link/unit_link.h>
#include <log_commands.h>
#include <scan/scan_engine.h>
#include <sim_thread.h>
#include <unit_commands.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Counters
{
    long statements = 0;
    long commits = 0;
};

// Counts what SQLite runs on the connection, through the driver's own handle.
void WatchSqlite(Database& db, Counters& counters)
{
    const QVariant handle = QSqlDatabase::database(db.ConnectionName()).driver()->handle();
    auto* sqlite = *static_cast<sqlite3* const*>(handle.data());
    sqlite3_trace_v2(
        sqlite, SQLITE_TRACE_STMT,
        [](unsigned, void* c, void*, void*) {
            ++static_cast<Counters*>(c)->statements;
            return 0;
        },
        &counters);
    sqlite3_commit_hook(
        sqlite,
        [](void* c) {
            ++static_cast<Counters*>(c)->commits;
            return 0;
        },
        &counters);
}

// Committed transactions of the database so far. The server publishes a session's counts only
// about a second after its last report, so the reading waits for that.
long PgCommits(Database& db)
{
    QThread::msleep(1100);
    db.Select(QStringLiteral("SELECT 1"));
    db.Select(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
    const auto rows = db.Select(
        QStringLiteral("SELECT xact_commit FROM pg_stat_database WHERE datname=current_database()"));
    return rows && !rows->empty() ? rows->front().value(0).toLongLong() : 0;
}

void Run(Database::Driver driver, int unitCount)
{
    auto testDb = TestDatabase::Create(driver);
    if (!testDb)
        return;
    Database& db = testDb->Db();
    QTemporaryDir dir;
    std::vector<std::unique_ptr<unitsim::UnitModel>> models;
    std::vector<std::unique_ptr<unitsim::SimThread>> sims;
    // Empty logs and event lists: the passes stay steady.
    std::vector<std::unique_ptr<unitsim::LogMemory>> logs;
    std::vector<std::unique_ptr<unitsim::CurrentEvents>> events;
    db.Transaction([&] {
        for (int u = 0; u < unitCount; ++u) {
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
            sim->ServePty(dir.filePath(QStringLiteral("com%1").arg(u + 1)));
            db.Exec(QStringLiteral(
                        "INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, "
                        "SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES (?, 1, 1, ?, "
                        "'TELVARON-1', '1', '1', 1)"),
                    {serial, QStringLiteral("%1-115200").arg(u + 1)});
            for (int n = 1; n <= 20; ++n)
                db.Exec(QStringLiteral(
                            "INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                            "SeI_Sensortype) VALUES (?, ?, 1, 1)"),
                        {serial, n});
            for (int p = 1; p <= 4; ++p)
                db.Exec(
                    QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, "
                                   "PmI_Used) VALUES (?, ?, 1)"),
                    {serial, p});
            models.push_back(std::move(model));
            sims.push_back(std::move(sim));
        }
        return true;
    });

    BenchScan scan(db, dir.path());
    ScanEngine& engine = scan.engine;
    engine.ScanSystems(); // run start and identification

    Counters counters;
    if (driver == Database::Driver::SQLite)
        WatchSqlite(db, counters);
    // The readings' own transactions, measured without a pass between two of them.
    const bool pg = driver == Database::Driver::PostgreSQL;
    const long readingCost = pg ? -PgCommits(db) + PgCommits(db) : 0;
    const long commitsBefore = pg ? PgCommits(db) : 0;
    QElapsedTimer probeClock;
    qint64 longestGap = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, probeClock.restart()); });
    probe.start();
    probeClock.start();
    // Several passes, so that a pass slowed by the machine's other work does not decide alone.
    constexpr int kPasses = 5;
    std::vector<double> cpuPerPass, wallPerPass;
    for (int pass = 0; pass < kPasses; ++pass) {
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = ThreadCpuMs();
        engine.ScanSystems();
        cpuPerPass.push_back(ThreadCpuMs() - cpu0);
        wallPerPass.push_back(double(wall.elapsed()));
    }
    longestGap = std::max(longestGap, probeClock.elapsed());
    probe.stop();
    if (pg)
        counters.commits = PgCommits(db) - commitsBefore - readingCost;
    std::sort(cpuPerPass.begin(), cpuPerPass.end());
    std::sort(wallPerPass.begin(), wallPerPass.end());
    const double cpu = cpuPerPass[kPasses / 2];
    const qint64 wallMs = qint64(wallPerPass[kPasses / 2]);
    int online = 0;
    for (const SystemRuntimeRecord& r : engine.RuntimeSystems())
        online += r.LinkState == LinkOnline;
    const int turns = std::max(online, 1);
    std::printf("%-10s units %4d online %4d  pass %6lld ms  server CPU/turn %6.3f ms (passes %.3f-%.3f)  "
                "statements/turn %s  commits/turn %5.2f  longest probe gap %4lld ms  load %s\n",
                driver == Database::Driver::SQLite ? "SQLite" : "PostgreSQL", unitCount, online,
                static_cast<long long>(wallMs), cpu / turns, cpuPerPass.front() / turns,
                cpuPerPass.back() / turns,
                driver == Database::Driver::SQLite
                    ? qPrintable(QString::number(double(counters.statements) / kPasses / turns, 'f', 1))
                    : "(as SQLite)",
                double(counters.commits) / kPasses / turns, static_cast<long long>(longestGap),
                qPrintable(LoadAverage()));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atoi(argv[i]));
    if (counts.empty())
        counts = {1, 10, 50, 200, 1000};
    for (const auto driver : {Database::Driver::SQLite, Database::Driver::PostgreSQL}) {
        if (driver == Database::Driver::PostgreSQL && !TestPgServer())
            continue;
        for (const int n : counts)
            Run(driver, n);
    }
    return 0;
}
