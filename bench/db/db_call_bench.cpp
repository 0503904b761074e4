// Usage: db_call_bench [CALLS] (default 5000). The CPU that one database call costs the program,
// on the caller's thread and the connection's, for a call that does almost nothing: what handing
// a call to the connection's thread and back costs. PostgreSQL runs when TELVARON_TEST_PG_PORT names
// the test server (scripts/pg-test-server).
#include "headless.h"
#include "load_average.h"
#include "server_cpu.h"
#include "test_databases.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
// The median over rounds of the CPU per call.
double PerCall(Database& db, int calls, const std::function<bool()>& call)
{
    constexpr int kRounds = 5;
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        const double before = ServerCpuMs(db);
        for (int i = 0; i < calls; ++i)
            call();
        rounds.push_back((ServerCpuMs(db) - before) * 1000 / calls);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[kRounds / 2];
}

void Run(Database::Driver driver, int calls)
{
    auto testDb = TestDatabase::Create(driver);
    if (!testDb)
        return;
    Database& db = testDb->Db();
    const LoadSpan load;
    const double select =
        PerCall(db, calls, [&] { return db.Select(QStringLiteral("SELECT 1")).has_value(); });
    const double update = PerCall(db, calls, [&] {
        return db
            .Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=? WHERE SyI_Serialnumber=?"),
                  {1, "none"})
            .has_value();
    });
    const double inJob = PerCall(db, calls / 10,
                                 [&] {
                                     return db.Transaction([](DbSession& s) {
                                         for (int i = 0; i < 10; ++i)
                                             s.Select(QStringLiteral("SELECT 1"));
                                         return true;
                                     });
                                 }) /
                         10;
    std::printf("%-10s CPU per call: SELECT 1 %6.1f us  UPDATE with values %6.1f us  SELECT 1 inside a "
                "job of ten %6.1f us  load %s\n",
                driver == Database::Driver::SQLite ? "SQLite" : "PostgreSQL", select, update, inJob,
                qPrintable(load.Text()));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    RunOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(10, std::atoi(argv[1])) : 5000;
    for (const auto driver : {Database::Driver::SQLite, Database::Driver::PostgreSQL}) {
        if (driver == Database::Driver::PostgreSQL && !TestPgServer())
            continue;
        Run(driver, calls);
    }
    return 0;
}
