// Usage: log_storage_bench [rows already in Records, default 10000000] [events already in
// Events_1, default 10000000]. Stores half pages with their counters as the log steps do (102
// samples of a sensor into Records, 24 events into Events_1), against the same rows inserted by
// one plain batched insert, in the same run; then again with the history filled. Each figure is
// the median of several runs of many rounds, with the spread of the runs and the machine's load,
// so that it can be trusted on a shared machine. PostgreSQL runs when TELVARON_TEST_PG_PORT names
// the test server. The history is as years of it would be: 20 sensors of a unit, or 20 units, take
// turns, so the rows stored land in the middle of the indexes, not at their end.
#include "test_databases.h"

#include <db/database.h>
#include <scan/log_step.h>
#include <scan/log_targets.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kRuns = 9;
constexpr int kRounds = 200;
constexpr qint64 kFillChunk = 5000000;
const QString kSerial = QStringLiteral("B1");

using RowMaker = std::function<std::vector<QVariantList>(qint64 round)>;

struct History
{
    const char* table;
    LogTarget target;
    RowMaker rows;
    // Fill statements with %1 and %2 for the first and last row number of a chunk.
    QString sqliteFill;
    QString postgresFill;
};

std::vector<QVariantList> SensorHalfPage(qint64 round)
{
    constexpr int kRows = 102;
    std::vector<QVariantList> rows;
    const QDateTime start = QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC).addSecs(round * kRows * 60);
    for (int k = 0; k < kRows; ++k)
        rows.push_back({kSerial, 1, start.addSecs(k * 60), float(k) / 10, 1});
    return rows;
}

// Sensor events with value, state and type, the unit's condition, and listed events with text.
std::vector<QVariantList> EventHalfPage(qint64 round)
{
    constexpr int kEvents = 24;
    std::vector<QVariantList> rows;
    const QDateTime start = QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC).addSecs(round * kEvents * 60);
    for (int k = 0; k < kEvents; ++k) {
        const int source = k % 23 + 1;
        const bool sensor = source <= 20;
        rows.push_back({kSerial, source, start.addSecs(k * 60), sensor ? QVariant(float(k) / 10) : QVariant(),
                        source <= 21 ? QVariant(k % 2) : QVariant(), sensor ? QVariant(1) : QVariant(),
                        source >= 22 ? QVariant(QStringLiteral("3;12")) : QVariant(), 0});
    }
    return rows;
}

History Records()
{
    return {"Records", SensorLogTarget(kSerial, 1, 1, LogCounters{}), SensorHalfPage,
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) INSERT INTO "
                "Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, Rec_Value, "
                "Rec_Sensortype, Rec_SensRecSN) SELECT 'B1', i % 20 + 1, datetime('2010-01-01', '+' || (i "
                "/ 20) || ' minutes'), i % 1000, 1, i / 20 FROM n"),
            QStringLiteral("INSERT INTO Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, "
                           "Rec_Value, Rec_Sensortype, Rec_SensRecSN) SELECT 'B1', i % 20 + 1, TIMESTAMP "
                           "'2010-01-01' + (i / 20) * INTERVAL '1 minute', i % 1000, 1, i / 20 FROM "
                           "generate_series(%1, %2) AS i")};
}

History Events(const std::vector<quint8>& EventSensorTypes)
{
    return {"Events_1", EventLogTarget(kSerial, LogCounters{}, EventSensorTypes), EventHalfPage,
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) INSERT INTO "
                "Events_1 (Event_SyI_Serialnumber, Event_EventSource, Event_Datetime, Event_Value, "
                "Event_Condition, Event_SeI_Sensortype, Event_Info1, Event_Ack, Event_SystemEventSN) "
                "SELECT 'B' || (i % 20 + 1), i / 20 % 20 + 1, datetime('2010-01-01', '+' || (i / 20) || ' "
                "minutes'), i % 1000 / 10.0, i % 2, 1, NULL, 0, i / 20 + 1 FROM n"),
            QStringLiteral("INSERT INTO Events_1 (Event_SyI_Serialnumber, Event_EventSource, Event_Datetime, "
                           "Event_Value, Event_Condition, Event_SeI_Sensortype, Event_Info1, Event_Ack, "
                           "Event_SystemEventSN) SELECT 'B' || (i % 20 + 1), i / 20 % 20 + 1, TIMESTAMP "
                           "'2010-01-01' + (i / 20) * INTERVAL '1 minute', i % 1000 / 10.0, i % 2, 1, NULL, "
                           "0, i / 20 + 1 FROM generate_series(%1, %2) AS i")};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// The median of the run medians and the lowest and highest of them, in microseconds.
struct Figure
{
    double median = 0, low = 0, high = 0;
};

Figure Summary(const std::vector<double>& runs)
{
    return {Median(runs), *std::min_element(runs.begin(), runs.end()),
            *std::max_element(runs.begin(), runs.end())};
}

struct Phase
{
    std::vector<double> plainRuns, storedRuns;
    Figure Plain() const { return Summary(plainRuns); }
    Figure Stored() const { return Summary(storedRuns); }
};

// One run of rounds that each time a plain batched insert and a stored half page with its
// counters, in turns; its medians are added to the phase.
void MeasureRun(Database& db, History& h, qint64& round, Phase& phase)
{
    std::vector<double> plain, stored;
    QElapsedTimer t;
    for (int r = 0; r < kRounds; ++r) {
        std::vector<QVariantList> rows = h.rows(round++);
        QVariantList values;
        qint32 number = 1000000000 + r;
        for (const QVariantList& row : rows)
            values << row << number;
        const int width = int(rows.front().size()) + 1;
        t.start();
        if (!db.Exec(MultiRowInsert(h.target.historyTable, h.target.rowColumns, width, rows.size()), values))
            std::fprintf(stderr, "%s\n", qPrintable(db.LastError().description));
        plain.push_back(t.nsecsElapsed() / 1e3);

        rows = h.rows(round++);
        const LogCounters& c = h.target.counters;
        const LogCounters moved{c.LastPageSN + 1, 264, c.LastRecSN + qint32(rows.size())};
        t.start();
        if (!StoreLogRows(db, h.target, rows, moved))
            std::fprintf(stderr, "%s\n", qPrintable(db.LastError().description));
        stored.push_back(t.nsecsElapsed() / 1e3);
    }
    phase.plainRuns.push_back(Median(plain));
    phase.storedRuns.push_back(Median(stored));
}

// Fills in chunks, so that neither the write-ahead log nor one statement grows without bound,
// then leaves the table as a running site's would be: checkpointed, vacuumed and analysed.
bool Fill(Database& db, const History& h, qint64 rows)
{
    const bool sqlite = db.DriverInUse() == Database::Driver::SQLite;
    QString cacheSize;
    if (sqlite) {
        const auto size = db.Select(QStringLiteral("PRAGMA cache_size"));
        cacheSize = size && !size->empty() ? size->front().value(0).toString() : QStringLiteral("-2000");
        db.Exec(QStringLiteral("PRAGMA cache_size=-1048576"));
    } else if (!db.Exec(QStringLiteral("SET statement_timeout=0"))) {
        return false;
    }
    bool ok = true;
    for (qint64 first = 0; ok && first < rows; first += kFillChunk) {
        const qint64 last = std::min(rows, first + kFillChunk) - 1;
        ok = db.Transaction(
            [&] { return bool(db.Exec((sqlite ? h.sqliteFill : h.postgresFill).arg(first).arg(last))); });
    }
    if (sqlite) {
        ok = ok && db.Select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        db.Exec(QStringLiteral("PRAGMA cache_size=") + cacheSize);
    } else {
        ok = ok && db.Exec(QStringLiteral("VACUUM ANALYZE ") + QString::fromLatin1(h.table));
        db.Exec(QStringLiteral("RESET statement_timeout"));
    }
    return ok;
}

void PrintFigure(const char* what, const Figure& f)
{
    std::printf("%s %7.0f us (runs %.0f-%.0f)", what, f.median, f.low, f.high);
}

void PrintPhase(const char* what, const Phase& p)
{
    std::printf("  %-34s", what);
    PrintFigure("plain", p.Plain());
    PrintFigure(", stored", p.Stored());
    std::printf(", stored/plain %.2f\n", p.Stored().median / p.Plain().median);
}

bool AddOwners(Database& db)
{
    return db.Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, "
                                  "SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES "
                                  "('B1', 1, 1, '1-115200', 'TELVARON-1', '1', '1', 1)")) &&
           db.Exec(
               QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                              "SeI_Sensortype) VALUES ('B1', 1, 1, 1)"));
}

// An empty history and a filled one, measured in alternate runs, so that a change of the
// machine's load falls on both alike.
void Run(Database::Driver driver, const History& h, qint64 history)
{
    const char* name = driver == Database::Driver::SQLite ? "SQLite" : "PostgreSQL";
    auto emptyDb = TestDatabase::Create(driver, QStringLiteral("empty"));
    // Filling millions of rows takes far longer than a call of the server may.
    auto fullDb = TestDatabase::Create(driver, QStringLiteral("full"), TestPgServer(), std::chrono::hours(1));
    if (!emptyDb || !fullDb || !AddOwners(emptyDb->Db()) || !AddOwners(fullDb->Db()))
        return;
    QElapsedTimer fill;
    fill.start();
    if (!Fill(fullDb->Db(), h, history)) {
        std::fprintf(stderr, "%s: filling %s failed: %s\n", name, h.table,
                     qPrintable(fullDb->Db().LastError().description));
        return;
    }
    const double fillSeconds = fill.elapsed() / 1e3;

    History emptyH = h, fullH = h;
    qint64 emptyRound = 0, fullRound = 0;
    Phase empty, full;
    // Warm up: statements prepared, pages cached.
    MeasureRun(emptyDb->Db(), emptyH, emptyRound, empty);
    MeasureRun(fullDb->Db(), fullH, fullRound, full);
    empty = {};
    full = {};
    const QString loadBefore = LoadAverage();
    for (int run = 0; run < kRuns; ++run) {
        MeasureRun(emptyDb->Db(), emptyH, emptyRound, empty);
        MeasureRun(fullDb->Db(), fullH, fullRound, full);
    }
    const QString loadAfter = LoadAverage();

    std::printf("%s, %s, %zu rows per half page, median (lowest-highest) of %d runs of %d rounds, load %s -> "
                "%s:\n",
                name, h.table, h.rows(0).size(), kRuns, kRounds, qPrintable(loadBefore),
                qPrintable(loadAfter));
    PrintPhase("empty table:", empty);
    PrintPhase(
        qPrintable(QStringLiteral("%1 rows (filled in %2 s):").arg(history).arg(fillSeconds, 0, 'f', 0)),
        full);
    std::vector<double> ratios;
    for (int run = 0; run < kRuns; ++run)
        ratios.push_back(full.storedRuns[run] / empty.storedRuns[run]);
    const Figure ratio = Summary(ratios);
    std::printf("  stored with %lld rows / stored with none: %.2f; of the runs side by side %.2f (%.2f-%.2f) "
                "(target <= 1.25)\n",
                history, full.Stored().median / empty.Stored().median, ratio.median, ratio.low, ratio.high);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qint64 records = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 10000000;
    const qint64 events = argc > 2 ? QString::fromLocal8Bit(argv[2]).toLongLong() : 10000000;
    const std::vector<quint8> EventSensorTypes(21, 1);
    std::vector<Database::Driver> drivers{Database::Driver::SQLite};
    if (TestPgServer())
        drivers.push_back(Database::Driver::PostgreSQL);
    else
        std::printf("PostgreSQL: not run (TELVARON_TEST_PG_PORT not set)\n");
    for (const Database::Driver driver : drivers) {
        if (records > 0)
            Run(driver, Records(), records);
        if (events > 0)
            Run(driver, Events(EventSensorTypes), events);
    }
    return 0;
}
