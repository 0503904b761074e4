// A simulated unit that keeps its memory in a state file, as the demo's units do, stopped and
// started again together with the server: its log goes on where it was and nothing is stored twice.
#include "log_compare.h"
#include "server_run.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {
constexpr int kPrefilled = 5;
constexpr int kWaitMs = 30000;

class DemoRestart : public ServerRun
{
protected:
    // clock: two seconds before a whole minute, so that the unit logs a sample soon after start.
    void StartLiveUnit(const QString& clock)
    {
        StartUnit({QStringLiteral("--live"), QStringLiteral("--state"),
                   home_.filePath(QStringLiteral("unit.state")), QStringLiteral("--clock"), clock,
                   QStringLiteral("--log-samples"), QString::number(kPrefilled),
                   QStringLiteral("--log-events"), QStringLiteral("3"), QStringLiteral("--log-interval"),
                   QStringLiteral("1")});
    }

    // The rows of a query, one a line.
    std::string Lines(const QString& sql) { return Rows(db_, sql).join(u'\n').toStdString(); }

    int RecordCount()
    {
        const auto rows = db_.Select(QStringLiteral("SELECT COUNT(*) FROM Records"));
        return rows && !rows->empty() ? rows->front().value(0).toInt() : -1;
    }

    // Runs the unit and the server until Records holds rows, then stops both: the unit as
    // scripts/run does, or killed as by a crash or a power cut.
    void RunUntil(const QString& clock, int rows, bool unitKilled = false)
    {
        StartLiveUnit(clock);
        StartServer();
        EXPECT_TRUE(QTest::qWaitFor([&] { return RecordCount() >= rows; }, kWaitMs))
            << RecordCount() << " of " << rows
            << " rows; server: " << server_.readAllStandardError().toStdString();
        Stop(server_);
        Stop(unit_, !unitKilled);
    }
};
} // namespace

TEST_P(DemoRestart, EveryStartContinuesTheLogAndStoresNothingTwice)
{
    RunUntil(QStringLiteral("2024-05-17T13:45:58"), kSensors * (kPrefilled + 1));
    // A unit killed keeps what it saved when its memory changed: the sample the server read.
    RunUntil(QStringLiteral("2024-05-17T13:46:58"), kSensors * (kPrefilled + 2), true);
    RunUntil(QStringLiteral("2024-05-17T13:47:58"), kSensors * (kPrefilled + 3));

    EXPECT_EQ(RecordCount(), kSensors * (kPrefilled + 3));
    EXPECT_EQ(Lines(QStringLiteral("SELECT COUNT(*) FROM (SELECT Rec_SyI_Serialnumber FROM Records GROUP BY "
                                   "Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime "
                                   "HAVING COUNT(*) > 1) twice")),
              "0");
    // The samples logged before the first start (from 1 January 2024, 00:00 UTC, shown as 02:00),
    // then one per start, numbered on.
    EXPECT_EQ(
        Lines(QStringLiteral("SELECT Rec_SensRecSN, Rec_Datetime FROM Records WHERE Rec_SeI_Sensornumber = 7 "
                             "ORDER BY Rec_SensRecSN")),
        "1 2024-01-01 02:00\n2 2024-01-01 02:01\n3 2024-01-01 02:02\n4 2024-01-01 02:03\n"
        "5 2024-01-01 02:04\n6 2024-05-17 13:46\n7 2024-05-17 13:47\n8 2024-05-17 13:48");
}

INSTANTIATE_BOTH_DRIVERS(DemoRestart);
