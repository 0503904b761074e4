// The live unit, its time advanced by the test, seen through the unit's own replies.
#include "request_frames.h"
#include "sim_thread.h"
#include "wire_client.h"

#include <live_unit.h>
#include <log_commands.h>
#include <unit_commands.h>

#include <gtest/gtest.h>

#include <link/int_codec.h>
#include <link/stamp_codec.h>

#include <cmath>
#include <functional>
#include <set>
#include <span>

using namespace unitsim;

namespace {

constexpr quint8 kStatus = 21, kSensorEvents = 22, kPowerEvents = 23, kLogPage = 3, kLogPointer = 25;
constexpr qint64 kMinute = 60 * 1000;
constexpr int kEventLogNumber = 20;
// The image's limits of every sensor of the test unit.
constexpr float kMax = 8.0f, kMin = -2.5f;

// 17 May 2024 13:45, the unit's clock at start: summer time, flag set.
const QDateTime kStart(QDate(2024, 5, 17), QTime(13, 45), Qt::UTC);

std::span<const quint8> Bytes(const QByteArray& b)
{
    return {reinterpret_cast<const quint8*>(b.constData()), std::size_t(b.size())};
}

int Tenths(const QByteArray& b, int at)
{
    return int(std::lround(ReadTenths14(Bytes(b), at) * 10));
}

int U16(const QByteArray& b, int at)
{
    return ReadU16Clamp(Bytes(b), at);
}

QDateTime Stamp5(const QByteArray& b, int at)
{
    return ReadStamp5(Bytes(b), at);
}

struct LoggedEvent
{
    quint8 head, b1, b2;
    QDateTime when;
};

class LiveUnitTest : public ::testing::Test
{
protected:
    LiveUnitTest()
    {
        model_.Update([](UnitState& s) {
            s.identity.model = QStringLiteral("TELVARON-1E");
            s.identity.sensorCount = 20;
        });
        ImageContents contents = DefaultImageContents(true, 20, 1);
        for (ImageSensor& s : contents.sensors)
            s.recordingRate = 1;
        settings_.SetImage(BuildSettingsImage(contents));
        InstallUnitCommands(unit_.Sim(), model_);
        InstallLogCommands(unit_.Sim(), model_, logs_, events_);
        EXPECT_TRUE(unit_.ServeTcp(0));
        client_ = ConnectTcp(unit_.Sim().TcpPort());
    }

    // The payload of command's reply, without status and check byte.
    QByteArray Ask(quint8 command, const QByteArray& data, int payload)
    {
        Send(*client_, RequestFrame(command, data));
        const QByteArray reply = Read(*client_, payload + 2, 2000);
        EXPECT_EQ(reply.size(), payload + 2) << int(command);
        return reply.mid(1, payload);
    }
    QByteArray Status() { return Ask(kStatus, {}, 75); }
    QByteArray Pointer(int log) { return Ask(kLogPointer, QByteArray(1, char(log)), 10); }
    // The first half page of the log.
    QByteArray Half(int log) { return Ask(kLogPage, QByteArray(1, char(log)), 264); }
    // The entries of the event log's first half page.
    std::vector<LoggedEvent> LoggedEvents()
    {
        const QByteArray h = Half(kEventLogNumber);
        std::vector<LoggedEvent> out;
        for (int block = 0; block < 6; ++block) {
            for (int entry = 0; entry < 4; ++entry) {
                const int at = block * 44 + 7 + 9 * entry;
                if (quint8(h[at]) != 0xFF)
                    out.push_back({quint8(h[at]), quint8(h[at + 1]), quint8(h[at + 2]), Stamp5(h, at + 3)});
            }
        }
        return out;
    }
    // Advances second by second until done holds for the unit's status reply; the minute reached.
    qint64 AdvanceUntil(qint64 fromMs, qint64 limitMs, const std::function<bool(const QByteArray&)>& done)
    {
        for (qint64 ms = fromMs; ms <= limitMs; ms += 1000) {
            live_.AdvanceTo(ms);
            if (done(Status()))
                return ms;
        }
        ADD_FAILURE() << "nothing within " << limitMs << " ms";
        return limitMs;
    }

    UnitModel model_;
    SettingsMemory settings_;
    LogMemory logs_;
    CurrentEvents events_;
    SimThread unit_;
    std::unique_ptr<QTcpSocket> client_;
    LiveUnit live_{model_, settings_, logs_, events_, 7};
};

TEST_F(LiveUnitTest, ClockRunsAndEverySensorLogsAtItsRecordingRateAsTheSeedDecides)
{
    live_.AdvanceTo(0);
    EXPECT_EQ(Stamp5(Status(), 61), kStart);
    // Another unit of the same seed, advanced in other steps, logs the same.
    UnitModel otherModel;
    otherModel.Update([](UnitState& s) { s.identity.model = QStringLiteral("TELVARON-1E"); });
    LogMemory otherLogs;
    CurrentEvents otherEvents;
    LiveUnit other(otherModel, settings_, otherLogs, otherEvents, 7);
    for (qint64 ms = 0; ms <= 8 * kMinute; ms += 7300)
        other.AdvanceTo(ms);
    other.AdvanceTo(8 * kMinute);
    live_.AdvanceTo(8 * kMinute);
    for (int n = 1; n <= 20; ++n) {
        const auto a = logs_.Samples(n), b = otherLogs.Samples(n);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k)
            EXPECT_EQ(a[k].tenths, b[k].tenths);
    }
    EXPECT_EQ(logs_.Events().size(), otherLogs.Events().size());
    EXPECT_EQ(Pointer(kEventLogNumber), otherLogs.Pointer(kEventLogNumber));

    live_.AdvanceTo(10 * kMinute + 30 * 1000);
    const QByteArray s = Status();
    EXPECT_EQ(Stamp5(s, 61), kStart.addSecs(10 * 60));
    int withDecimals = 0;
    for (int log = 0; log < 20; ++log) {
        const QByteArray p = Pointer(log);
        // Samples at 13:45, 13:46 ... 13:55 in the first block: 13 header bytes and 11 readings.
        EXPECT_EQ(U16(p, 0), 13 + 11 * 2) << log;
        EXPECT_EQ(U16(p, 4), 0) << log;
        const QByteArray h = Half(log);
        EXPECT_EQ(ReadU24(Bytes(h), 2), 0) << "page serial number";
        EXPECT_EQ(Stamp5(h, 5), kStart) << log;
        EXPECT_EQ(quint8(h[10]), 1) << "summer time";
        EXPECT_EQ(U16(h, 11), 1) << "interval";
        std::set<int> readings;
        for (int k = 0; k < 11; ++k) {
            const int tenths = Tenths(h, 13 + 2 * k);
            EXPECT_GT(tenths, kMin * 10 - 20) << log;
            EXPECT_LT(tenths, kMax * 10 + 20) << log;
            readings.insert(tenths);
        }
        EXPECT_GT(readings.size(), 3u) << "the readings drift";
        withDecimals += Tenths(s, 3 * log) % 10 != 0;
    }
    EXPECT_GT(withDecimals, 10) << "readings with decimals";
}

TEST_F(LiveUnitTest, ALimitCrossingGivesAlarmCurrentEventAndLoggedEventsUntilItReturns)
{
    int sensor = -1;
    const qint64 out = AdvanceUntil(0, 4 * kMinute, [&](const QByteArray& s) {
        for (int n = 0; n < 20 && sensor < 0; ++n) {
            if (quint8(s[3 * n + 2]) == 0x07)
                sensor = n;
        }
        return sensor >= 0;
    });
    ASSERT_GE(sensor, 0);
    const QByteArray s = Status();
    const int tenths = Tenths(s, 3 * sensor);
    EXPECT_TRUE(tenths > kMax * 10 || tenths < kMin * 10) << tenths;
    const QByteArray list = Ask(kSensorEvents, {}, 260);
    const int entry = 13 * sensor;
    EXPECT_EQ(quint8(list[entry]) & 0x03, 0x01) << "one slot present";
    EXPECT_EQ(ReadStamp4(Bytes(list), entry + 1), Stamp5(s, 61));
    std::vector<LoggedEvent> logged = LoggedEvents();
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back().head, 0x20 | sensor) << "sensor channel, state 1";
    EXPECT_EQ(logged.back().when, Stamp5(s, 61));

    AdvanceUntil(out + 1000, out + 3 * kMinute,
                 [&](const QByteArray& reply) { return quint8(reply[3 * sensor + 2]) == 0x01; });
    EXPECT_EQ(quint8(Ask(kSensorEvents, {}, 260)[entry]) & 0x03, 0) << "the current event is gone";
    logged = LoggedEvents();
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back().head, sensor) << "sensor channel, state 0";
    const int back = Tenths(Status(), 3 * sensor);
    EXPECT_TRUE(back <= kMax * 10 && back >= kMin * 10) << back;
}

TEST_F(LiveUnitTest, TheSupplyFailsAndReturns)
{
    // Mains mode 0: the supply is the one input monitored; bit 0 its voltage, bit 4 its fault.
    live_.AdvanceTo(0);
    EXPECT_EQ(quint8(Status()[60]), 0x01);
    const qint64 failed =
        AdvanceUntil(1000, 3 * kMinute, [](const QByteArray& s) { return quint8(s[60]) == 0x10; });
    QByteArray power = Ask(kPowerEvents, {}, 11);
    EXPECT_EQ(quint8(power[0]) & 0x03, 0x01);
    EXPECT_EQ(quint8(power[5]), 0x10);
    std::vector<LoggedEvent> logged = LoggedEvents();
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back().head, 0x40) << "the unit's own condition";
    EXPECT_EQ(logged.back().b1, 0x10);

    AdvanceUntil(failed + 1000, failed + 3 * kMinute,
                 [](const QByteArray& s) { return quint8(s[60]) == 0x01; });
    power = Ask(kPowerEvents, {}, 11);
    EXPECT_EQ(quint8(power[0]) & 0x03, 0x03) << "the failure and its return";
    EXPECT_EQ(quint8(power[10]), 0x01);
    logged = LoggedEvents();
    EXPECT_EQ(logged.back().head, 0x40);
    EXPECT_EQ(logged.back().b1, 0x01);
    // And again a few minutes later.
    AdvanceUntil(failed + 3 * kMinute, failed + 12 * kMinute,
                 [](const QByteArray& s) { return quint8(s[60]) == 0x10; });
}

TEST_F(LiveUnitTest, TheSensorRingWrapsAfterItsLastPage)
{
    // 202 samples fill a page: 15 in its first block, 17 in each of the other eleven.
    // The first live sample, months after the others, closes the last page's block and with it
    // the page, so the live samples begin the ring's first slot again.
    PrefillLogs(logs_, 1, 203 * 202 + 195, 0, 1);
    ASSERT_EQ(U16(Pointer(0), 4), 203);
    live_.AdvanceTo(10 * kMinute);
    const QByteArray p = Pointer(0);
    EXPECT_EQ(U16(p, 0), 13 + 2 * 11);
    EXPECT_EQ(U16(p, 2), 1) << "oldest page";
    EXPECT_EQ(U16(p, 4), 0) << "write page";
    EXPECT_EQ(U16(p, 6) | U16(p, 8) << 16, 204);
    const QByteArray h = Half(0);
    EXPECT_EQ(ReadU24(Bytes(h), 2), 204);
    EXPECT_EQ(Stamp5(h, 5), kStart);
}

} // namespace
