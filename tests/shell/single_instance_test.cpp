#include "server_home.h"
#include "test_databases.h"

#include <db/database.h>

#include <QFile>
#include <QProcess>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// The real server, with its settings and lock in a folder of the test's own.
struct ServerProcess
{
    explicit ServerProcess(const QTemporaryDir& home)
    {
        process.setProcessEnvironment(ServerEnvironment(home));
        process.setProgram(QStringLiteral(TELVARON_SERVER_BINARY));
    }
    ~ServerProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QProcess process;
};

bool WriteSettings(const QTemporaryDir& home, const QString& dbFile)
{
    return WriteServerSettings(
        home, QStringLiteral("[AppSettings]\nInit=1\nDBType=0\nDBFile=%1\n\n[SPS]\nSP1=pw\n").arg(dbFile));
}
} // namespace

TEST(ServerProcess, StartsOnPreparedSettingsAndRunsOnce)
{
    QTemporaryDir home;
    auto prepared = TestDatabase::create(Database::Driver::SQLite, QStringLiteral("prepared"));
    ASSERT_TRUE(prepared);
    Database& db = prepared->db();
    ASSERT_TRUE(db.exec(
        QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, SyI_Commport, "
                       "SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) "
                       "VALUES ('A1', 1, 1, 1, '3-115200', 'TELVARON-1', '1', '1', 4)")));
    ASSERT_TRUE(db.exec(QStringLiteral("INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0)")));
    db.close();
    const QString file = prepared->sqliteFile();
    ASSERT_TRUE(WriteSettings(home, file));

    ServerProcess first(home);
    first.process.start();
    ASSERT_TRUE(first.process.waitForStarted());
    // Start-up is done once the live tables are empty and the unit is offline.
    Database check(QStringLiteral("check"));
    const auto settled = [&] {
        if (!check.isOpen() && !check.openSqlite(file))
            return false;
        const auto pings = check.select(QStringLiteral("SELECT COUNT(*) FROM Terminal_Ping_Requests"));
        const auto online = check.select(QStringLiteral("SELECT SyI_Online FROM Systems_Info"));
        return pings && online && pings->front().value(0).toInt() == 0 &&
               online->front().value(0).toInt() == 0;
    };
    EXPECT_TRUE(QTest::qWaitFor(settled, 10000));
    EXPECT_TRUE(QFile::exists(file.left(file.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".bak")));
    EXPECT_EQ(first.process.state(), QProcess::Running);

    ServerProcess second(home);
    second.process.start();
    EXPECT_TRUE(second.process.waitForFinished(10000)) << "a second start ends at once";
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_EQ(first.process.state(), QProcess::Running);
}
