// Usage: log_storage_bench [rows already in Records, default 10000000]. Stores second halves of
// pages (102 rows) with their counters as the log step does, against the same rows inserted by
// one plain batched insert, in the same run; then again with the rows already in Records.
// PostgreSQL runs when TELVARON_TEST_PG_PORT names the test server.
#include "test_databases.h"

#include <db/database.h>
#include <scan/log_step.h>
#include <scan/log_targets.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRows = 102;
constexpr int kRounds = 200;
const QString kSerial = QStringLiteral("B1");

std::vector<QVariantList> HalfPage(qint64 round)
{
    std::vector<QVariantList> rows;
    const QDateTime start = QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC).addSecs(round * kRows * 60);
    for (int k = 0; k < kRows; ++k)
        rows.push_back({kSerial, 1, start.addSecs(k * 60), float(k) / 10, 1});
    return rows;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median microseconds of a plain batched insert and of a stored half page with its counters,
// taken in turns.
std::pair<double, double> Measure(Database& db, LogTarget& target, qint64& round)
{
    std::vector<double> plain, stored;
    QElapsedTimer t;
    for (int r = 0; r < kRounds; ++r) {
        std::vector<QVariantList> rows = HalfPage(round++);
        QVariantList values;
        qint32 number = 1000000000 + r;
        for (const QVariantList& row : rows)
            values << row << number;
        t.start();
        if (!db.exec(MultiRowInsert(target.historyTable, target.rowColumns, 6, rows.size()), values))
            std::fprintf(stderr, "%s\n", qPrintable(db.lastError().description));
        plain.push_back(t.nsecsElapsed() / 1e3);

        rows = HalfPage(round++);
        LogCounters moved{target.counters.LastPageSN + 1, 264, target.counters.LastRecSN + kRows};
        t.start();
        if (!StoreLogRows(db, target, rows, moved))
            std::fprintf(stderr, "%s\n", qPrintable(db.lastError().description));
        stored.push_back(t.nsecsElapsed() / 1e3);
    }
    return {Median(plain), Median(stored)};
}

bool Fill(Database& db, qint64 rows)
{
    // Earlier samples of the same sensors, as years of history would be.
    const QString sqlite = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO Records "
        "(Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, Rec_Value, Rec_Sensortype, "
        "Rec_SensRecSN) "
        "SELECT 'B1', i % 20 + 1, datetime('2010-01-01', '+' || (i / 20) || ' minutes'), i % 1000, 1, i / 20 "
        "FROM n");
    const QString postgres = QStringLiteral(
        "INSERT INTO Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, Rec_Value, "
        "Rec_Sensortype, Rec_SensRecSN) SELECT 'B1', i % 20 + 1, TIMESTAMP '2010-01-01' + (i / 20) * "
        "INTERVAL '1 minute', i % 1000, 1, i / 20 FROM generate_series(0, %1) AS i");
    const bool ok =
        bool(db.exec((db.driver() == Database::Driver::SQLite ? sqlite : postgres).arg(rows - 1)));
    if (ok && db.driver() == Database::Driver::PostgreSQL)
        db.exec(QStringLiteral("ANALYZE Records"));
    return ok;
}

void Run(Database::Driver driver, qint64 history)
{
    const char* name = driver == Database::Driver::SQLite ? "SQLite" : "PostgreSQL";
    auto testDb = TestDatabase::create(driver);
    if (!testDb)
        return;
    Database& db = testDb->db();
    db.exec(QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                           "SeI_Sensortype) VALUES ('B1', 1, 1, 1)"));
    LogTarget target = SensorLogTarget(kSerial, 1, 1, LogCounters{});
    qint64 round = 0;
    Measure(db, target, round); // warm up: statements prepared, pages cached
    const auto [plainEmpty, storedEmpty] = Measure(db, target, round);

    QElapsedTimer fill;
    fill.start();
    if (!Fill(db, history)) {
        std::fprintf(stderr, "%s: filling Records failed: %s\n", name,
                     qPrintable(db.lastError().description));
        return;
    }
    const double fillSeconds = fill.elapsed() / 1e3;
    Measure(db, target, round);
    const auto [plainFull, storedFull] = Measure(db, target, round);

    std::printf("%s, %d rows per half page, medians of %d:\n", name, kRows, kRounds);
    std::printf("  empty table:   plain batched insert %8.0f us, stored with counters %8.0f us, ratio %.2f "
                "(target <= 1.50)\n",
                plainEmpty, storedEmpty, storedEmpty / plainEmpty);
    std::printf(
        "  %lld rows (filled in %.0f s): plain %8.0f us, stored %8.0f us, ratio %.2f (target <= 1.50)\n",
        history, fillSeconds, plainFull, storedFull, storedFull / plainFull);
    std::printf("  stored with %lld rows / stored with none: %.2f (target <= 1.25)\n", history,
                storedFull / storedEmpty);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qint64 history = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 10000000;
    Run(Database::Driver::SQLite, history);
    if (TestPgServer())
        Run(Database::Driver::PostgreSQL, history);
    else
        std::printf("PostgreSQL: not run (TELVARON_TEST_PG_PORT not set)\n");
    return 0;
}
