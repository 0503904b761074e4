// Usage: scan_bench [units...] (default 1 10 50 200 1000). PostgreSQL runs when TELVARON_TEST_PG_PORT
// names the test server (scripts/pg-test-server).
#include "bench_scan.h"
#include "bench_units.h"
#include "headless.h"
#include "load_average.h"
#include "server_cpu.h"

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

struct Counters
{
    long statements = 0;
    long commits = 0;
};

// Counts what SQLite runs on the connection, through the driver's own handle.
void WatchSqlite(Database& db, Counters& counters)
{
    db.WithDriverHandle([&](const QVariant& handle) {
        auto* sqlite = *static_cast<sqlite3* const*>(handle.data());
        sqlite3_trace_v2(
            sqlite, SQLITE_TRACE_STMT,
            [](unsigned, void* c, void* st, void*) {
                if (getenv("TRACE_SQL"))
                    fprintf(stderr, "SQL %s\n", sqlite3_sql((sqlite3_stmt*)st));
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
    });
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
    // Empty logs and event lists: the passes stay steady.
    const BenchUnits units(db, dir.path(), unitCount);

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
    const LoadSpan load;
    // Several passes, so that a pass slowed by the machine's other work does not decide alone.
    constexpr int kPasses = 5;
    std::vector<double> cpuPerPass, wallPerPass;
    for (int pass = 0; pass < kPasses; ++pass) {
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = ServerCpuMs(db);
        engine.ScanSystems();
        cpuPerPass.push_back(ServerCpuMs(db) - cpu0);
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
                qPrintable(load.Text()));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    RunOffscreenWithoutDisplay();
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
