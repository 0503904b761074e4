// A PostgreSQL server of the suite's own that restarts and stops under a running scan.
#include "log_compare.h"
#include "own_pg_server.h"
#include "scan_fixture.h"
#include "stalling_proxy.h"

#include <db/database.h>

namespace {

class DatabaseOutage : public ScanFixture
{
protected:
    static void SetUpTestSuite()
    {
        // The suite runs only where the test server runs, that is where PostgreSQL is installed.
        if (!TestPgServer())
            return;
        server_ = new OwnPgServer;
        EXPECT_TRUE(server_->Started()) << server_->Problem().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override
    {
        if (!server_ || !server_->Started())
            GTEST_SKIP() << "no PostgreSQL server of the suite's own";
        ScanFixture::SetUp();
        // Every connection, also one made again after a restart, finds this case's tables.
        Database admin(QStringLiteral("outage-admin"));
        ASSERT_TRUE(admin.OpenPostgres(*PgServerOfTest()));
        ASSERT_TRUE(
            admin.Exec(QStringLiteral("ALTER ROLE telvaron SET search_path TO ") + TestDb().PgSchema()));
    }

    std::optional<PgServer> PgServerOfTest() const override { return server_->Server(); }

    static bool Cluster(const QString& action)
    {
        const bool done = server_->Run(action);
        EXPECT_TRUE(done) << action.toStdString() << ": " << server_->Problem().toStdString();
        return done;
    }

    bool ShowsTheDatabaseFault() const
    {
        return window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων"));
    }

    static inline OwnPgServer* server_ = nullptr;
};

TEST_P(DatabaseOutage, ARestartOrAStoppedServerLosesAndRepeatsNothing)
{
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
    unitsim::PrefillLogs(tcp.logs, 20, 120, 30, 1);
    Pass();
    Pass();
    const int before = Count(QStringLiteral("SELECT COUNT(*) FROM Records"));
    ASSERT_GT(before, 0);

    // The restart cuts the connection under the next pass; the pass after makes it again.
    ASSERT_TRUE(Cluster(QStringLiteral("restart")));
    Pass();
    EXPECT_TRUE(ShowsTheDatabaseFault()) << window_.status.toStdString();
    Pass();
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), before);
    EXPECT_EQ(window_.status, QString());

    // A server that stays down: the units are still watched, the fault stays in view.
    ASSERT_TRUE(Cluster(QStringLiteral("halt")));
    for (int pass = 0; pass < 3; ++pass) {
        Pass();
        EXPECT_TRUE(ShowsTheDatabaseFault()) << window_.status.toStdString();
        EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}, {1, 1}}));
    }
    // The line follows the cause: the restart's cut, the stop's cut, then the refused connects.
    ASSERT_EQ(window_.problems.size(), 3) << window_.problems.join("\n").toStdString();
    EXPECT_TRUE(window_.problems.at(1).contains(QStringLiteral("ORA-03135")))
        << window_.problems.at(1).toStdString();
    EXPECT_TRUE(window_.status.contains(QStringLiteral("ORA-12541"))) << window_.status.toStdString();
    for (int n = 1; n <= 20; ++n)
        serial.logs.AppendSamples(n, 3);
    tcp.logs.AppendEvents(4);
    ASSERT_TRUE(Cluster(QStringLiteral("resume")));

    Pass();
    EXPECT_EQ(window_.status, QString());
    AddRequest(QStringLiteral("T1"), 2, QStringLiteral("1234;1"));
    PassUntilSettled();
    EXPECT_EQ(window_.status, QString());
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    ExpectLogsMirrored(QStringLiteral("T1"), 20);
    EXPECT_EQ(Replies(), QStringList{QStringLiteral("1/1")});
}

TEST_P(DatabaseOutage, ARunConnectedWhileTheServerIsDownStartsWhenItIsBack)
{
    AddTcpUnit(QStringLiteral("T1"));
    ASSERT_TRUE(Cluster(QStringLiteral("halt")));
    Pass();
    Pass();
    EXPECT_TRUE(ShowsTheDatabaseFault()) << window_.status.toStdString();
    EXPECT_EQ(window_.shownUnits, -1) << "the grid keeps the units it shows";
    ASSERT_TRUE(Cluster(QStringLiteral("resume")));
    Pass();
    EXPECT_EQ(window_.shownUnits, 1);
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}}));
    EXPECT_EQ(window_.status, QString());
}

// The connection reaches the suite's server through a proxy that stops answering in the middle of
// storing a log page: the statement that stores it and moves its counters is a transaction of its
// own, whose outcome never comes back.
class StalledCommit : public DatabaseOutage
{
protected:
    void SetUp() override
    {
        if (server_ && server_->Started())
            proxy_ = std::make_unique<StallingProxy>(server_->Port());
        DatabaseOutage::SetUp();
    }

    std::optional<PgServer> PgServerOfTest() const override
    {
        PgServer server = *DatabaseOutage::PgServerOfTest();
        server.serverPort = QString::number(proxy_->Port());
        return server;
    }
    std::chrono::milliseconds CallBoundOfTest() const override { return std::chrono::milliseconds(1500); }

    // The rows of each sensor log of S1 on the server itself, not through the proxy.
    QStringList StoredPerLog()
    {
        Database server(QStringLiteral("stall-witness"));
        EXPECT_TRUE(server.OpenPostgres(*DatabaseOutage::PgServerOfTest()));
        return Rows(server, QStringLiteral(
                                "SELECT SeI_Sensornumber, SeI_RecordsTable_LastrecSN, (SELECT COUNT(*) FROM "
                                "Records WHERE Rec_SyI_Serialnumber=SeI_SyI_Serialnumber AND "
                                "Rec_SeI_Sensornumber=SeI_Sensornumber) FROM Sensors_Info WHERE "
                                "SeI_SyI_Serialnumber='S1' ORDER BY SeI_Sensornumber"));
    }

    // The first log statement of a pass stalls. Whether it was stored or not, the rows and
    // counters on the server decide at the next pass: every row once.
    void StallALogStatementThenSettle(StallingProxy::Mode mode)
    {
        AddTcpUnit(QStringLiteral("T1"));
        SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 1);
        unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
        Pass();
        const QStringList before = StoredPerLog();
        proxy_->SetMode(mode, "INSERT INTO Records");
        Pass();
        ASSERT_EQ(proxy_->Stalls(), 1) << "no log page was stored";
        EXPECT_TRUE(ShowsTheDatabaseFault()) << window_.status.toStdString();
        EXPECT_TRUE(window_.status.contains(QStringLiteral("ORA-12170"))) << window_.status.toStdString();
        // The call began a bound before the time-out was known, at 12:00:00.
        EXPECT_TRUE(window_.status.endsWith(QStringLiteral("(από τις 11:59:58)")))
            << window_.status.toStdString();
        // The stalled statement was sensor 1's, and the first to store anything: with its answer
        // lost it stored its rows with its counters, else nothing; the connection was lost with it.
        QStringList after = StoredPerLog();
        if (mode == StallingProxy::Mode::SwallowAnswer) {
            const QStringList first = after.front().split(u' ');
            const QStringList was = before.front().split(u' ');
            EXPECT_GT(first.at(2).toInt(), was.at(2).toInt());
            EXPECT_EQ(first.at(1).toInt() - was.at(1).toInt(), first.at(2).toInt() - was.at(2).toInt());
            after.front() = before.front();
        }
        EXPECT_EQ(after, before);
        proxy_->CutStalled();
        PassUntilSettled();
        EXPECT_EQ(window_.status, QString());
        ExpectLogsMirrored(QStringLiteral("S1"), 20);
        ExpectLogsMirrored(QStringLiteral("T1"), 20);
    }

    std::unique_ptr<StallingProxy> proxy_;
};

TEST_P(StalledCommit, ACommitWhoseAnswerIsLostStoresEveryRowOnce)
{
    StallALogStatementThenSettle(StallingProxy::Mode::SwallowAnswer);
}

TEST_P(StalledCommit, ACommitThatNeverArrivesStoresEveryRowOnce)
{
    StallALogStatementThenSettle(StallingProxy::Mode::SwallowStatement);
}

INSTANTIATE_TEST_SUITE_P(OwnServer, StalledCommit, ::testing::Values(Database::Driver::PostgreSQL),
                         DriverName);

INSTANTIATE_TEST_SUITE_P(OwnServer, DatabaseOutage, ::testing::Values(Database::Driver::PostgreSQL),
                         DriverName);

} // namespace
