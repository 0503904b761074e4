// Usage: log_storage_bench [rows already in Records, default 10000000] [events already in
// Events_1, default 10000000]. Stores half pages with their counters as the log steps do (102
// samples of a sensor into Records, 24 events into Events_1), against the same rows inserted
// plainly, without the server's database layer, in the same run: on SQLite one prepared insert
// stepped per row through the C API, on PostgreSQL one prepared insert of all the rows through
// libpq, each in one transaction; then again with the history filled. Each figure is
// the median of several runs of many rounds, with the spread of the runs and the machine's load,
// so that it can be trusted on a shared machine. PostgreSQL runs when TELVARON_TEST_PG_PORT names
// the test server. The history is as years of it would be: 20 sensors of a unit, or 20 units, take
// turns, so the rows stored land in the middle of the indexes, not at their end.
#include "headless.h"
#include "load_average.h"
#include "test_databases.h"

#include <db/database.h>
#include <scan/log_step.h>
#include <scan/log_targets.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
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

// A value as a plain client has it before it binds it: its text, or a number.
struct PlainValue
{
    enum Kind { Null, Integer, Real, Text } kind = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray text;
};

std::vector<PlainValue> PlainValues(const std::vector<QVariantList>& rows, qint32 firstNumber)
{
    std::vector<PlainValue> values;
    for (const QVariantList& row : rows) {
        for (const QVariant& v : row) {
            if (v.isNull())
                values.push_back({});
            else if (v.typeId() == QMetaType::QDateTime)
                values.push_back({PlainValue::Text, 0, 0,
                                  v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8()});
            else if (v.typeId() == QMetaType::Float)
                // The double that the float's shortest text gives, as the server stores it.
                values.push_back({PlainValue::Real, 0, QString::number(v.toFloat()).toDouble(), {}});
            else if (v.typeId() == QMetaType::QString)
                values.push_back({PlainValue::Text, 0, 0, v.toString().toUtf8()});
            else
                values.push_back({PlainValue::Integer, v.toLongLong(), 0, {}});
        }
        values.push_back({PlainValue::Integer, firstNumber++, 0, {}});
    }
    for (PlainValue& v : values)
        if (v.kind == PlainValue::Real)
            v.text = QByteArray::number(v.real, 'g', 17);
        else if (v.kind == PlainValue::Integer)
            v.text = QByteArray::number(v.integer);
    return values;
}

// The rows inserted on the connection of db, without the server's database layer.
class PlainInsert
{
public:
    virtual ~PlainInsert() = default;
    virtual bool Insert(const std::vector<PlainValue>& values, int width) = 0;
};

// SQLite: BEGIN, one prepared single-row insert bound with each value's type and stepped per
// row, COMMIT.
class SqlitePlainInsert : public PlainInsert
{
public:
    SqlitePlainInsert(sqlite3* db, const QString& table, const QString& columns, int width) : db_(db)
    {
        const QByteArray sql = MultiRowInsert(table, columns, width, 1).toUtf8();
        sqlite3_prepare_v3(db_, sql.constData(), -1, SQLITE_PREPARE_PERSISTENT, &insert_, nullptr);
    }
    ~SqlitePlainInsert() override { sqlite3_finalize(insert_); }

    bool Insert(const std::vector<PlainValue>& values, int width) override
    {
        bool ok = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        for (std::size_t first = 0; ok && first < values.size(); first += width) {
            for (int c = 0; c < width; ++c) {
                const PlainValue& v = values[first + c];
                if (v.kind == PlainValue::Null)
                    sqlite3_bind_null(insert_, c + 1);
                else if (v.kind == PlainValue::Integer)
                    sqlite3_bind_int64(insert_, c + 1, v.integer);
                else if (v.kind == PlainValue::Real)
                    sqlite3_bind_double(insert_, c + 1, v.real);
                else
                    sqlite3_bind_text(insert_, c + 1, v.text.constData(), int(v.text.size()), SQLITE_STATIC);
            }
            ok = sqlite3_step(insert_) == SQLITE_DONE;
            sqlite3_reset(insert_);
        }
        return sqlite3_exec(db_, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* insert_ = nullptr;
};

// PostgreSQL: one prepared insert of all the rows, its values as text parameters, run as one
// statement and so in one transaction of its own.
class PgPlainInsert : public PlainInsert
{
public:
    PgPlainInsert(PGconn* db, const QString& table, const QString& columns)
        : db_(db), table_(table), columns_(columns)
    {
    }

    bool Insert(const std::vector<PlainValue>& values, int width) override
    {
        const int rows = int(values.size()) / width;
        // Each inserter names its statements apart from those an earlier one left on the connection.
        static int inserters = 0;
        if (instance_ == 0)
            instance_ = ++inserters;
        const std::string name =
            "plain_" + std::to_string(instance_) + "_" + table_.toStdString() + "_" + std::to_string(rows);
        if (prepared_.insert(rows).second) {
            QString sql = MultiRowInsert(table_, columns_, width, rows);
            int n = 0;
            // libpq numbers its parameters.
            for (qsizetype at = sql.indexOf(u'?'); at >= 0; at = sql.indexOf(u'?', at))
                sql.replace(at, 1, QStringLiteral("$%1").arg(++n));
            PGresult* made = PQprepare(db_, name.c_str(), sql.toUtf8().constData(), 0, nullptr);
            const bool ok = PQresultStatus(made) == PGRES_COMMAND_OK;
            if (!ok)
                std::fprintf(stderr, "%s", PQerrorMessage(db_));
            PQclear(made);
            if (!ok)
                return false;
        }
        std::vector<const char*> texts;
        texts.reserve(values.size());
        for (const PlainValue& v : values)
            texts.push_back(v.kind == PlainValue::Null ? nullptr : v.text.constData());
        PGresult* result =
            PQexecPrepared(db_, name.c_str(), int(texts.size()), texts.data(), nullptr, nullptr, 0);
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        if (!ok)
            std::fprintf(stderr, "%s", PQerrorMessage(db_));
        PQclear(result);
        return ok;
    }

private:
    PGconn* db_;
    QString table_, columns_;
    std::set<int> prepared_;
    int instance_ = 0;
};

std::unique_ptr<PlainInsert> MakePlainInsert(Database& db, const LogTarget& t, int width)
{
    // The plain insert runs on this thread between the connection's own calls, never beside one.
    QVariant handle;
    db.WithDriverHandle([&](const QVariant& driverHandle) { handle = driverHandle; });
    if (db.DriverInUse() == Database::Driver::SQLite)
        return std::make_unique<SqlitePlainInsert>(*static_cast<sqlite3* const*>(handle.data()),
                                                   t.historyTable, t.rowColumns, width);
    return std::make_unique<PgPlainInsert>(*static_cast<PGconn* const*>(handle.data()), t.historyTable,
                                           t.rowColumns);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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

// One run of rounds that each time a plain insert and a stored half page with its counters, in
// turns; its medians are added to the phase.
void MeasureRun(Database& db, History& h, qint64& round, Phase& phase)
{
    std::vector<double> plain, stored;
    QElapsedTimer t;
    const int width = int(h.rows(0).front().size()) + 1;
    const std::unique_ptr<PlainInsert> plainInsert = MakePlainInsert(db, h.target, width);
    for (int r = 0; r < kRounds; ++r) {
        std::vector<QVariantList> rows = h.rows(round++);
        const std::vector<PlainValue> values = PlainValues(rows, 1000000000 + r);
        t.start();
        if (!plainInsert->Insert(values, width))
            std::fprintf(stderr, "plain insert failed\n");
        plain.push_back(t.nsecsElapsed() / 1e3);

        rows = h.rows(round++);
        const LogCounters& c = h.target.counters;
        const LogCounters moved{c.LastPageSN + 1, 264, c.LastRecSN + qint32(rows.size())};
        t.start();
        if (StoreLogRows(db, h.target, rows, moved) != LogStore::Stored)
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
        ok = db.Transaction([&](DbSession& s) {
            return bool(s.Exec((sqlite ? h.sqliteFill : h.postgresFill).arg(first).arg(last)));
        });
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
    const LoadSpan load;
    for (int run = 0; run < kRuns; ++run) {
        MeasureRun(emptyDb->Db(), emptyH, emptyRound, empty);
        MeasureRun(fullDb->Db(), fullH, fullRound, full);
    }
    std::printf("%s, %s, %zu rows per half page, median (lowest-highest) of %d runs of %d rounds, load %s:\n",
                name, h.table, h.rows(0).size(), kRuns, kRounds, qPrintable(load.Text()));
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
    RunOffscreenWithoutDisplay();
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
