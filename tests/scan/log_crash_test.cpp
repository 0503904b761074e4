// The real server killed at random moments of a long log download, then run to the end: every
// sample and event must be stored once. Give --crash-kills=<n> for a longer run than CI's.
#include "log_compare.h"
#include "server_home.h"
#include "test_databases.h"

#include <db/database.h>
#include <log_memory.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
constexpr int kSensors = 20;
constexpr int kEvents = 600; // twelve and a half pages
constexpr int kInterval = 1;
constexpr int kCiKills = 20;
constexpr int kStallMs = 30000;
const QString kSerial = QStringLiteral("C1");

int Kills()
{
    static const int kills = [] {
        for (const QString& a : QCoreApplication::arguments()) {
            if (a.startsWith(QStringLiteral("--crash-kills=")))
                return a.section(QLatin1Char('='), 1).toInt();
        }
        return kCiKills;
    }();
    return kills;
}

// Per sensor: enough that the download outlasts the kills, within the ring's 204 pages.
int Samples()
{
    return std::min(200 * Kills() + 1000, 41000);
}

// The server process gets a database file, or a PostgreSQL database of its own.
class LogCrash : public ::testing::TestWithParam<Database::Driver>
{
protected:
    void SetUp() override
    {
        QFile schema(SchemaFile(GetParam()));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        QString settings;
        if (GetParam() == Database::Driver::SQLite) {
            const QString file = home_.filePath(QStringLiteral("crash.db"));
            ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
            ASSERT_TRUE(db_.OpenSqlite(file));
            settings = QStringLiteral("DBType=0\nDBFile=%1").arg(file);
        } else {
            if (!TestPgServer())
                GTEST_SKIP() << "no PostgreSQL test server (TELVARON_TEST_PG_PORT)";
            PgServer server = *TestPgServer();
            pgName_ = QStringLiteral("crash_%1").arg(QCoreApplication::applicationPid());
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
            home_, QStringLiteral(
                       "[AppSettings]\nInit=1\nAutoConnect=1\n%1\n[SPS]\nSP1=pw\n\n[SerialPorts]\nCOM1=%2\n")
                       .arg(settings, home_.filePath(QStringLiteral("com1")))));
        StartUnit();
    }

    void TearDown() override
    {
        Stop(server_);
        Stop(unit_);
        db_.Close();
        if (!pgName_.isEmpty())
            admin_.Exec(DropPgDatabase());
    }

    QString DropPgDatabase() const
    {
        return QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgName_);
    }

    void StartUnit()
    {
        unit_.setProgram(QStringLiteral(TELVARON_UNITSIM_BINARY));
        unit_.setArguments({QStringLiteral("--pty"), home_.filePath(QStringLiteral("com1")),
                            QStringLiteral("--unit"), QStringLiteral("--serial"), kSerial,
                            QStringLiteral("--log-samples"), QString::number(Samples()),
                            QStringLiteral("--log-events"), QString::number(kEvents),
                            QStringLiteral("--log-interval"), QString::number(kInterval)});
        unit_.start();
        ASSERT_TRUE(unit_.waitForStarted(10000)) << unit_.errorString().toStdString();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return unit_.readAllStandardOutput().startsWith("serving"); }, 10000))
            << "the simulated unit does not serve: " << unit_.readAllStandardError().toStdString();
    }

    void StartServer()
    {
        server_.setProcessEnvironment(ServerEnvironment(home_));
        server_.setProgram(QStringLiteral(TELVARON_SERVER_BINARY));
        server_.start();
        ASSERT_TRUE(server_.waitForStarted(10000)) << server_.errorString().toStdString();
    }

    static void Stop(QProcess& process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(5000);
    }

    // Rows taken so far, by the counters.
    int Taken()
    {
        const auto rows =
            db_.Select(QStringLiteral("SELECT (SELECT SUM(SeI_RecordsTable_LastrecSN) FROM Sensors_Info) + "
                                      "(SELECT SyI_EventsTable_LastrecSN FROM Systems_Info)"));
        return rows && !rows->empty() ? rows->front().value(0).toInt() : -1;
    }

    // Waits until the counters have passed `from`. A server that ended or stores nothing for half a
    // minute fails the case at once: a wrong download must not run into the time limit of ctest.
    bool Progressed(int from)
    {
        const bool moved = QTest::qWaitFor(
            [&] { return server_.state() == QProcess::NotRunning || Taken() > from; }, kStallMs);
        if (server_.state() == QProcess::NotRunning) {
            ADD_FAILURE() << "the server ended: " << server_.readAllStandardError().toStdString();
            return false;
        }
        if (!moved)
            ADD_FAILURE() << "nothing stored for " << kStallMs / 1000 << " s after " << from << " rows";
        return moved;
    }

    QTemporaryDir home_;
    QString pgName_;
    Database admin_{QStringLiteral("crash-admin")};
    Database db_{QStringLiteral("crash-check")};
    QProcess unit_;
    QProcess server_;
};
} // namespace

TEST_P(LogCrash, KilledServerStoresEverySampleAndEventOnce)
{
    const int total = kSensors * Samples() + kEvents;
    for (int k = 0; k < Kills(); ++k) {
        const int before = Taken();
        StartServer();
        // A random moment of the download: after this run has stored something, however slowly it
        // started, within the next pass or two.
        ASSERT_TRUE(Progressed(before)) << "kill " << k;
        QTest::qWait(int(QRandomGenerator::global()->bounded(700)));
        Stop(server_);
        ASSERT_LT(Taken(), total) << "the download ended before the last kill; give it more to take";
    }

    StartServer();
    for (int taken = Taken(); taken < total; taken = Taken())
        ASSERT_TRUE(Progressed(taken)) << taken << " of " << total;
    EXPECT_EQ(Taken(), total);
    Stop(server_);

    unitsim::LogMemory expected;
    unitsim::PrefillLogs(expected, kSensors, Samples(), kEvents, kInterval);
    for (int n = 1; n <= kSensors; ++n)
        EXPECT_EQ(StoredSamples(db_, kSerial, n), ExpectedSamples(expected.Samples(n))) << n;
    EXPECT_EQ(StoredEvents(db_, kSerial), ExpectedEvents(expected.Events()));
    const auto rows = db_.Select(QStringLiteral("SELECT COUNT(*) FROM Records"));
    EXPECT_EQ(rows->front().value(0).toInt(), kSensors * Samples());
}

INSTANTIATE_BOTH_DRIVERS(LogCrash);
