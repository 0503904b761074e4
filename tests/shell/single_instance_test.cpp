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
    explicit ServerProcess(const QProcessEnvironment& environment)
    {
        process.setProcessEnvironment(environment);
        process.setProgram(QStringLiteral(TELVARON_SERVER_BINARY));
    }
    ~ServerProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QProcess process;
};

class ServerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prepared_ = TestDatabase::Create(Database::Driver::SQLite, QStringLiteral("prepared"));
        ASSERT_TRUE(prepared_);
        ASSERT_TRUE(prepared_->Db().Exec(
            QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, SyI_Commport, "
                           "SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) "
                           "VALUES ('A1', 1, 1, 1, '3-115200', 'TELVARON-1', '1', '1', 4)")));
        ASSERT_TRUE(AddPing());
        prepared_->Db().Close();
        file_ = prepared_->SqliteFile();
        ASSERT_TRUE(WriteServerSettings(
            home_,
            QStringLiteral("[AppSettings]\nInit=1\nDBType=0\nDBFile=%1\n\n[SPS]\nSP1=pw\n").arg(file_)));
    }

    // A live row that a start-up deletes.
    bool AddPing()
    {
        Database& db = prepared_->Db();
        return (db.IsOpen() || db.OpenSqlite(prepared_->SqliteFile())) &&
               db.Exec(QStringLiteral("INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0)"));
    }

    // Start-up is done once the live tables are empty and the unit is offline.
    bool Settles()
    {
        return QTest::qWaitFor(
            [&] {
                if (!check_.IsOpen() && !check_.OpenSqlite(file_))
                    return false;
                const auto pings =
                    check_.Select(QStringLiteral("SELECT COUNT(*) FROM Terminal_Ping_Requests"));
                const auto online = check_.Select(QStringLiteral("SELECT SyI_Online FROM Systems_Info"));
                return pings && online && pings->front().value(0).toInt() == 0 &&
                       online->front().value(0).toInt() == 0;
            },
            10000);
    }

    QProcessEnvironment Environment() const { return ServerEnvironment(home_); }

    QTemporaryDir home_;
    std::unique_ptr<TestDatabase> prepared_;
    QString file_;
    Database check_{QStringLiteral("check")};
};

TEST_F(ServerProcessTest, RunsOnceAndALockLeftByAKilledServerDoesNotBlockTheNextStart)
{
    {
        ServerProcess first(Environment());
        first.process.start();
        ASSERT_TRUE(first.process.waitForStarted());
        EXPECT_TRUE(Settles());
        EXPECT_TRUE(QFile::exists(file_.left(file_.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".bak")));

        // The same user from another login: an ssh login has a runtime folder of its own, a
        // su shell may have none (Qt then makes one in the temporary folder: the test's own).
        QProcessEnvironment otherRuntime = Environment();
        otherRuntime.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                            home_.filePath(QStringLiteral("other-runtime")));
        QProcessEnvironment noRuntime = Environment();
        noRuntime.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        noRuntime.insert(QStringLiteral("TMPDIR"), home_.path());
        for (const QProcessEnvironment& login : {Environment(), otherRuntime, noRuntime}) {
            ServerProcess second(login);
            second.process.start();
            EXPECT_TRUE(second.process.waitForFinished(10000)) << "a second start ends at once";
            EXPECT_EQ(second.process.exitCode(), 0);
            EXPECT_EQ(first.process.state(), QProcess::Running);
        }
        first.process.kill();
        ASSERT_TRUE(first.process.waitForFinished(5000));
    }
    ASSERT_TRUE(QFile::exists(home_.filePath(QStringLiteral("config/TELVARON Server/TELVARON Server.lock"))))
        << "the killed server's lock stays behind";
    ASSERT_TRUE(AddPing());

    ServerProcess next(Environment());
    next.process.start();
    ASSERT_TRUE(next.process.waitForStarted());
    EXPECT_TRUE(Settles()) << "the next start runs its start-up";
    EXPECT_EQ(next.process.state(), QProcess::Running);
}

TEST_F(ServerProcessTest, ALoginWithoutARuntimeFolderHearsNothingOfItAndNoLineTwice)
{
    // Root in a plain shell: Qt would complain of the missing folder at every use.
    QProcessEnvironment noRuntime = Environment();
    noRuntime.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    noRuntime.insert(QStringLiteral("TMPDIR"), home_.path());
    ServerProcess server(noRuntime);
    server.process.start();
    ASSERT_TRUE(server.process.waitForStarted());
    EXPECT_TRUE(Settles());
    server.process.kill();
    ASSERT_TRUE(server.process.waitForFinished(5000));
    const QStringList lines =
        QString::fromUtf8(server.process.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter(QStringLiteral("XDG_RUNTIME_DIR")), QStringList());
    QStringList distinct = lines;
    distinct.removeDuplicates();
    EXPECT_EQ(lines, distinct);
}
} // namespace
