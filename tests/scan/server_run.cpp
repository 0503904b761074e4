#include "server_run.h"

#include "log_compare.h"
#include "server_home.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <csignal>

namespace {
constexpr int kStallMs = 30000;
} // namespace

void ServerRun::SetUp()
{
    QFile schema(SchemaFile(GetParam()));
    ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
    QString settings;
    if (GetParam() == Database::Driver::SQLite) {
        const QString file = home_.filePath(QStringLiteral("run.db"));
        ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
        ASSERT_TRUE(db_.OpenSqlite(file));
        settings = QStringLiteral("DBType=0\nDBFile=%1").arg(file);
    } else {
        if (!TestPgServer())
            GTEST_SKIP() << "no PostgreSQL test server (TELVARON_TEST_PG_PORT)";
        PgServer server = *TestPgServer();
        pgName_ = QStringLiteral("run_%1").arg(QCoreApplication::applicationPid());
        ASSERT_TRUE(admin_.OpenPostgres(server) && admin_.Exec(DropPgDatabase()) &&
                    admin_.Exec(QStringLiteral("CREATE DATABASE ") + pgName_))
            << admin_.LastError().description.toStdString();
        server.dataSource = pgName_;
        ASSERT_TRUE(db_.OpenPostgres(server));
        settings = QStringLiteral("DBType=1\nDBServerIP=127.0.0.1\nDBServerPORT=%1\nDBDataSource=%2")
                       .arg(server.serverPort, pgName_);
    }
    ASSERT_TRUE(RunSqlScript(db_, QString::fromUtf8(schema.readAll())))
        << db_.LastError().description.toStdString();
    ASSERT_TRUE(AddUnitRows(db_, kSerial, 1, QStringLiteral("1-115200"), QStringLiteral("TELVARON-1")));
    ASSERT_TRUE(WriteServerSettings(
        home_,
        QStringLiteral("[AppSettings]\nInit=1\nAutoConnect=1\n%1\n[SPS]\nSP1=pw\n\n[SerialPorts]\nCOM1=%2\n")
            .arg(settings, home_.filePath(QStringLiteral("com1")))));
}

void ServerRun::TearDown()
{
    Stop(server_);
    Stop(unit_);
    db_.Close();
    if (!pgName_.isEmpty())
        admin_.Exec(DropPgDatabase());
}

QString ServerRun::DropPgDatabase() const
{
    return QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgName_);
}

void ServerRun::StartUnit(int samples, int events, int interval)
{
    StartUnit({QStringLiteral("--log-samples"), QString::number(samples), QStringLiteral("--log-events"),
               QString::number(events), QStringLiteral("--log-interval"), QString::number(interval)});
}

void ServerRun::StartUnit(const QStringList& arguments)
{
    unit_.setProgram(QStringLiteral(TELVARON_UNITSIM_BINARY));
    unit_.setArguments(QStringList{QStringLiteral("--pty"), home_.filePath(QStringLiteral("com1")),
                                   QStringLiteral("--unit"), QStringLiteral("--serial"), kSerial} +
                       arguments);
    unit_.start();
    ASSERT_TRUE(unit_.waitForStarted(10000)) << unit_.errorString().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return unit_.readAllStandardOutput().startsWith("serving"); }, 10000))
        << "the simulated unit does not serve: " << unit_.readAllStandardError().toStdString();
}

void ServerRun::StartServer()
{
    server_.setProcessEnvironment(ServerEnvironment(home_));
    server_.setProgram(QStringLiteral(TELVARON_SERVER_BINARY));
    // The server meets the signals as a login starts it, whatever the test runner ignores.
    server_.setChildProcessModifier([] {
        for (const int s : {SIGTERM, SIGHUP, SIGINT})
            std::signal(s, SIG_DFL);
    });
    server_.start();
    ASSERT_TRUE(server_.waitForStarted(10000)) << server_.errorString().toStdString();
}

void ServerRun::Stop(QProcess& process, bool gently)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (gently)
        process.terminate();
    else
        process.kill();
    process.waitForFinished(5000);
}

int ServerRun::Taken()
{
    const auto rows =
        db_.Select(QStringLiteral("SELECT (SELECT SUM(SeI_RecordsTable_LastrecSN) FROM Sensors_Info) + "
                                  "(SELECT SyI_EventsTable_LastrecSN FROM Systems_Info)"));
    return rows && !rows->empty() ? rows->front().value(0).toInt() : -1;
}

bool ServerRun::Progressed(int from)
{
    const bool moved =
        QTest::qWaitFor([&] { return server_.state() == QProcess::NotRunning || Taken() > from; }, kStallMs);
    if (server_.state() == QProcess::NotRunning) {
        ADD_FAILURE() << "the server ended: " << server_.readAllStandardError().toStdString();
        return false;
    }
    if (!moved)
        ADD_FAILURE() << "nothing stored for " << kStallMs / 1000 << " s after " << from << " rows";
    return moved;
}

bool ServerRun::CutServerConnection()
{
    // Every other session on the case's own database is the server's.
    const auto cut = db_.Select(QStringLiteral(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname=current_database() "
        "AND pid<>pg_backend_pid()"));
    return cut && !cut->empty() && cut->front().value(0).toBool();
}
