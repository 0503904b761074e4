// The real server killed at random moments of a long log download, then run to the end: every
// sample and event must be stored once. Give --crash-kills=<n> for a longer run than CI's.
#include "log_compare.h"
#include "server_process.h"

#include <log_memory.h>

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

namespace {
constexpr int kSensors = 20;
constexpr int kEvents = 600; // twelve and a half pages
constexpr int kInterval = 1;
constexpr int kCiKills = 20;

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

class LogCrash : public ServerProcessTest
{
protected:
    void SetUp() override
    {
        ServerProcessTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            StartUnit({QStringLiteral("--log-samples"), QString::number(Samples()),
                       QStringLiteral("--log-events"), QString::number(kEvents),
                       QStringLiteral("--log-interval"), QString::number(kInterval)});
    }
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
        EXPECT_EQ(StoredSamples(db_, serial_, n), ExpectedSamples(expected.Samples(n))) << n;
    EXPECT_EQ(StoredEvents(db_, serial_), ExpectedEvents(expected.Events()));
    const auto rows = db_.Select(QStringLiteral("SELECT COUNT(*) FROM Records"));
    EXPECT_EQ(rows->front().value(0).toInt(), kSensors * Samples());
}

INSTANTIATE_BOTH_DRIVERS(LogCrash);
