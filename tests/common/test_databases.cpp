#include "test_databases.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <ctime>

std::optional<PgServer> TestPgServer()
{
    const QString port = qEnvironmentVariable("TELVARON_TEST_PG_PORT");
    if (port.isEmpty())
        return std::nullopt;
    return TestPgServerAt(port);
}

PgServer TestPgServerAt(const QString& port)
{
    return PgServer{.serverIp = QStringLiteral("127.0.0.1"),
                    .serverPort = port,
                    .dataSource = QStringLiteral("telvaron_test"),
                    .connectTimeoutSeconds = 5};
}

QString SchemaFile(Database::Driver driver)
{
    return QStringLiteral(TELVARON_SCHEMA_DIR) + (driver == Database::Driver::SQLite
                                                      ? QStringLiteral("/schema.sqlite.sql")
                                                      : QStringLiteral("/schema.postgres.sql"));
}

bool RunSqlScript(Database& db, const QString& script)
{
    QString text = script;
    text.remove(QRegularExpression(QStringLiteral("--[^\n]*")));
    for (const QString& statement : text.split(u';')) {
        if (!statement.trimmed().isEmpty() && !db.Exec(statement.trimmed()))
            return false;
    }
    return true;
}

std::unique_ptr<TestDatabase> TestDatabase::Create(Database::Driver driver, const QString& connectionName,
                                                   std::optional<PgServer> server,
                                                   std::chrono::milliseconds callBound)
{
    std::unique_ptr<TestDatabase> created(
        new TestDatabase(driver, connectionName, std::move(server), callBound));
    return created->SetUp() ? std::move(created) : nullptr;
}

bool TestDatabase::SetUp()
{
    if (driver_ == Database::Driver::PostgreSQL) {
        if (!server_) {
            ADD_FAILURE() << "no PostgreSQL test server (TELVARON_TEST_PG_PORT)";
            return false;
        }
        // Test processes run at once against one server: each database gets its own schema.
        static std::atomic<int> count{0};
        pgSchema_ = QStringLiteral("t%1_%2").arg(QCoreApplication::applicationPid()).arg(++count);
        Database admin(QStringLiteral("test-admin-") + pgSchema_);
        if (!admin.OpenPostgres(*server_) || !admin.Exec(QStringLiteral("CREATE SCHEMA ") + pgSchema_)) {
            ADD_FAILURE() << admin.LastError().description.toStdString();
            pgSchema_.clear();
            return false;
        }
    } else {
        QFile file(SqliteFile());
        if (!dir_.isValid() || !file.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "cannot create " << SqliteFile().toStdString();
            return false;
        }
    }
    QFile schema(SchemaFile(driver_));
    if (!schema.open(QIODevice::ReadOnly) || !OpenConnection(db_) ||
        !RunSqlScript(db_, QString::fromUtf8(schema.readAll()))) {
        ADD_FAILURE() << SchemaFile(driver_).toStdString() << ": "
                      << db_.LastError().description.toStdString();
        return false;
    }
    return true;
}

TestDatabase::~TestDatabase()
{
    db_.Close();
    if (pgSchema_.isEmpty())
        return;
    Database admin(QStringLiteral("test-admin-") + pgSchema_);
    // The notice that lists every dropped table would only clutter the test output.
    if (admin.OpenPostgres(*server_) && admin.Exec(QStringLiteral("SET client_min_messages TO WARNING")))
        admin.Exec(QStringLiteral("DROP SCHEMA ") + pgSchema_ + QStringLiteral(" CASCADE"));
}

bool TestDatabase::OpenConnection(Database& connection) const
{
    if (driver_ == Database::Driver::SQLite)
        return connection.OpenSqlite(SqliteFile());
    return connection.OpenPostgres(*server_) &&
           connection.Exec(QStringLiteral("SET search_path TO ") + pgSchema_).has_value();
}

bool HoldWriteLock(Database& terminal, const QString& table)
{
    if (terminal.DriverInUse() == Database::Driver::SQLite)
        return terminal.Exec(QStringLiteral("BEGIN IMMEDIATE")).has_value();
    return terminal.Exec(QStringLiteral("SET idle_in_transaction_session_timeout=10000")) &&
           terminal.Exec(QStringLiteral("BEGIN")) &&
           terminal.Exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
}

void BothDriversTest::SetUp()
{
    const std::optional<PgServer> server = PgServerOfTest();
    if (GetParam() == Database::Driver::PostgreSQL && !server)
        GTEST_SKIP() << "TELVARON_TEST_PG_PORT is not set";
    testDb_ = TestDatabase::Create(GetParam(), QStringLiteral("DbConn"), server, CallBoundOfTest());
    ASSERT_TRUE(testDb_);
}

QVariant BothDriversTest::Value(const QString& sql, const QVariantList& values)
{
    const auto rows = Db().Select(sql, values);
    return rows && !rows->empty() ? rows->front().value(0) : QVariant(-1);
}

MachineTimeZone::MachineTimeZone(const char* zone) : saved_(qgetenv("TZ"))
{
    qputenv("TZ", zone);
    tzset();
}

MachineTimeZone::~MachineTimeZone()
{
    if (saved_.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved_);
    tzset();
}

void PrintTo(Database::Driver driver, std::ostream* out)
{
    *out << DriverName({driver, 0});
}

std::string DriverName(const ::testing::TestParamInfo<Database::Driver>& info)
{
    return info.param == Database::Driver::SQLite ? "SQLite" : "PostgreSQL";
}
