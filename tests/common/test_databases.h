#pragma once

#include "database.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

// Fresh databases with the schema loaded, so that a test can run the same case on SQLite
// and on PostgreSQL. The PostgreSQL server is the throwaway one that scripts/test starts on
// 127.0.0.1 and names in TELVARON_TEST_PG_PORT; without it the PostgreSQL cases skip.
//
//   class MirrorTest : public BothDriversTest {};
//   TEST_P(MirrorTest, WritesRow) { ASSERT_TRUE(Db().exec("INSERT ...", {...})); }
//   INSTANTIATE_BOTH_DRIVERS(MirrorTest);

// The test server's database (telvaron_test), or nothing when no test server is given.
std::optional<PgServer> TestPgServer();
// The database telvaron_test of a test server on 127.0.0.1 at port.
PgServer TestPgServerAt(const QString& port);

// The schema file of a driver: db/schema.sqlite.sql or db/schema.postgres.sql.
QString SchemaFile(Database::Driver driver);

// Runs an SQL script statement by statement: "--" begins a comment, ';' ends a statement.
bool RunSqlScript(Database& db, const QString& script);

class TestDatabase
{
public:
    // An SQLite file in a temporary folder, or a schema of its own in the test server's
    // database, with the tables created and the connection open under connectionName.
    // nullptr, with a test failure recorded, when that fails or no test server is given.
    // server: the PostgreSQL server to use instead of the test server; callBound: how long a
    // call of the connection may wait.
    static std::unique_ptr<TestDatabase> Create(Database::Driver driver,
                                                const QString& connectionName = QStringLiteral("DbConn"),
                                                std::optional<PgServer> server = TestPgServer(),
                                                std::chrono::milliseconds callBound = Database::kCallBound);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Database& Db() { return db_; }
    // Opens a further connection on the same tables, as a client terminal would.
    bool OpenConnection(Database& connection) const;
    // The database file (SQLite only).
    QString SqliteFile() const { return dir_.filePath(QStringLiteral("tldb.db")); }
    // The schema that holds the tables (PostgreSQL only).
    const QString& PgSchema() const { return pgSchema_; }

private:
    TestDatabase(Database::Driver driver, const QString& connectionName, std::optional<PgServer> server,
                 std::chrono::milliseconds callBound)
        : driver_(driver), server_(std::move(server)), db_(connectionName, callBound)
    {
    }
    bool SetUp();

    Database::Driver driver_;
    std::optional<PgServer> server_;
    Database db_;
    QTemporaryDir dir_;
    QString pgSchema_;
};

// Lets terminal, a connection of its own on the test tables, hold a write lock on table (on
// SQLite the whole file) until it rolls back. Should a test leave it, the lock goes with its
// holder after a while on PostgreSQL.
bool HoldWriteLock(Database& terminal, const QString& table);

// A test suite whose cases run once per driver, each on a fresh TestDatabase.
class BothDriversTest : public ::testing::TestWithParam<Database::Driver>
{
protected:
    void SetUp() override;
    // The PostgreSQL server of the cases: the test server unless a suite has its own.
    virtual std::optional<PgServer> PgServerOfTest() const { return TestPgServer(); }
    // How long a call of Db() may wait: the real bound unless a suite needs a short one.
    virtual std::chrono::milliseconds CallBoundOfTest() const { return Database::kCallBound; }
    Database& Db() { return testDb_->Db(); }
    TestDatabase& TestDb() { return *testDb_; }
    // The first value of a query, or -1 when it gives no row.
    QVariant Value(const QString& sql, const QVariantList& values = {});
    int Count(const QString& sql, const QVariantList& values = {}) { return Value(sql, values).toInt(); }

    std::unique_ptr<TestDatabase> testDb_;
};

// Sets the machine's time zone (TZ) for the life of the object, for tests of times that a
// summer-time change skips or repeats.
class MachineTimeZone
{
public:
    explicit MachineTimeZone(const char* zone);
    ~MachineTimeZone();
    MachineTimeZone(const MachineTimeZone&) = delete;
    MachineTimeZone& operator=(const MachineTimeZone&) = delete;

private:
    QByteArray saved_;
};

std::string DriverName(const ::testing::TestParamInfo<Database::Driver>& info);
void PrintTo(Database::Driver driver, std::ostream* out);

#define INSTANTIATE_BOTH_DRIVERS(suite)                                                                      \
    INSTANTIATE_TEST_SUITE_P(Drivers, suite,                                                                 \
                             ::testing::Values(Database::Driver::SQLite, Database::Driver::PostgreSQL),      \
                             DriverName)
