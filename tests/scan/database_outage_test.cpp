// A PostgreSQL server of the suite's own that restarts and stops under a running scan.
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
// storing a log page: the outcome of the commit never comes back.
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

    // The rows and counters in the database decide at the next pass: every row once.
    void StallACommitThenSettle(StallingProxy::Mode mode)
    {
        AddTcpUnit(QStringLiteral("T1"));
        SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 1);
        unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
        Pass();
        proxy_->SetMode(mode);
        for (int pass = 0; pass < 10 && proxy_->Stalls() == 0; ++pass)
            Pass();
        ASSERT_GT(proxy_->Stalls(), 0) << "no log page was stored";
        EXPECT_TRUE(ShowsTheDatabaseFault()) << window_.status.toStdString();
        EXPECT_TRUE(window_.status.contains(QStringLiteral("ORA-12170"))) << window_.status.toStdString();
        // The call began a bound before the time-out was known, at 12:00:00.
        EXPECT_TRUE(window_.status.endsWith(QStringLiteral("(από τις 11:59:58)")))
            << window_.status.toStdString();
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
    StallACommitThenSettle(StallingProxy::Mode::SwallowCommitAnswer);
}

TEST_P(StalledCommit, ACommitThatNeverArrivesStoresEveryRowOnce)
{
    StallACommitThenSettle(StallingProxy::Mode::SwallowCommit);
}

INSTANTIATE_TEST_SUITE_P(OwnServer, StalledCommit, ::testing::Values(Database::Driver::PostgreSQL),
                         DriverName);

INSTANTIATE_TEST_SUITE_P(OwnServer, DatabaseOutage, ::testing::Values(Database::Driver::PostgreSQL),
                         DriverName);

} // namespace
