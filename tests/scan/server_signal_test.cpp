// The real server told to end by a signal in the middle of a log download: it ends the way the
// exit answered Yes does, after the unit being served, with the units offline and every row once.
#include "log_compare.h"
#include "process_signal.h"
#include "server_run.h"

#include <log_memory.h>

#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {
constexpr int kSamples = 3000; // per sensor: far more than a few passes take
constexpr int kEvents = 600;
constexpr int kInterval = 1;

class SignalledServer : public ServerRun
{
protected:
    void SetUp() override
    {
        ServerRun::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            StartUnit(kSamples, kEvents, kInterval);
        unitsim::PrefillLogs(expected_, kSensors, kSamples, kEvents, kInterval);
    }

    int Value(const QString& sql, const QVariantList& values = {})
    {
        const auto rows = db_.Select(sql, values);
        return rows && !rows->empty() ? rows->front().value(0).toInt() : -1;
    }

    int Online() { return Value(QStringLiteral("SELECT SyI_Online FROM Systems_Info")); }

    void Signal(int signal) { ASSERT_TRUE(SignalRunning(server_, signal)) << "the server is not running"; }

    void ExpectNormalEnd()
    {
        EXPECT_EQ(server_.exitStatus(), QProcess::NormalExit) << "the server did not end by the signal";
        EXPECT_EQ(server_.exitCode(), 0);
    }

    // The first rows of a log, as many as its counter says were taken.
    template <typename Row>
    std::vector<Row> FirstRows(const std::vector<Row>& all, const QString& counterSql,
                               const QVariantList& key = {})
    {
        const int taken = std::clamp(Value(counterSql, key), 0, int(all.size()));
        return {all.begin(), all.begin() + taken};
    }

    // Each log holds the rows its counter has taken, each once, and no more.
    void ExpectRowsAsCounted()
    {
        for (int n = 1; n <= kSensors; ++n)
            EXPECT_EQ(StoredSamples(db_, kSerial, n),
                      ExpectedSamples(FirstRows(expected_.Samples(n),
                                                QStringLiteral("SELECT SeI_RecordsTable_LastrecSN FROM "
                                                               "Sensors_Info WHERE SeI_Sensornumber=?"),
                                                {n})))
                << n;
        EXPECT_EQ(
            StoredEvents(db_, kSerial),
            ExpectedEvents(FirstRows(expected_.Events(),
                                     QStringLiteral("SELECT SyI_EventsTable_LastrecSN FROM Systems_Info"))));
    }

    unitsim::LogMemory expected_;
};
} // namespace

TEST_P(SignalledServer, EndsAfterTheTurnWithTheUnitsOfflineAndEveryRowOnce)
{
    const int total = kSensors * kSamples + kEvents;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        const int before = Taken();
        StartServer();
        ASSERT_TRUE(Progressed(before));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Online() == 1; }, 10000)) << "the unit is online";
        Signal(signal);
        ASSERT_TRUE(server_.waitForFinished(10000));
        ExpectNormalEnd();
        EXPECT_EQ(Online(), 0);
        // The stop leaves the live tables to the next start, which empties them: the last turn's
        // mirror of the unit stands.
        EXPECT_EQ(Rows(db_, QStringLiteral("SELECT (SELECT COUNT(*) FROM Systems_Current_Condition), "
                                           "(SELECT COUNT(*) FROM Sensors_Current_Condition), "
                                           "(SELECT COUNT(*) FROM Powermonitoring_Current_Condit)")),
                  QStringList{QStringLiteral("1 20 4")});
        ExpectRowsAsCounted();
        ASSERT_LT(Taken(), total) << "the download ended before the signal; give it more to take";
    }
}

TEST_P(SignalledServer, ASecondSignalEndsAtOnce)
{
    StartServer();
    ASSERT_TRUE(Progressed(0));
    // The unit falls silent: the turn being served waits for it for many seconds, three attempts.
    ASSERT_TRUE(SignalRunning(unit_, SIGSTOP));
    QTest::qWait(1500);
    Signal(SIGTERM);
    EXPECT_FALSE(server_.waitForFinished(500)) << "the first signal lets the turn end";
    Signal(SIGINT);
    EXPECT_TRUE(server_.waitForFinished(5000));
    ExpectNormalEnd();
    ExpectRowsAsCounted();
    SignalRunning(unit_, SIGCONT);
}

// A signal just after the database connection was lost: the stop makes it again to set the units
// offline.
TEST_P(SignalledServer, SetsTheUnitsOfflineAlsoAfterALostConnection)
{
    if (GetParam() != Database::Driver::PostgreSQL)
        GTEST_SKIP() << "an SQLite file has no connection to lose";
    StartServer();
    ASSERT_TRUE(Progressed(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Online() == 1; }, 10000)) << "the unit is online";
    ASSERT_TRUE(CutServerConnection());
    Signal(SIGTERM);
    ASSERT_TRUE(server_.waitForFinished(10000));
    ExpectNormalEnd();
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
}

INSTANTIATE_BOTH_DRIVERS(SignalledServer);
