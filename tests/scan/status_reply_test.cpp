#include <scan/status_reply.h>

#include <gtest/gtest.h>

#include <array>

namespace {
using Reply = std::array<quint8, kStatusReplyLength>;

Reply With(std::initializer_list<std::pair<int, quint8>> bytes)
{
    Reply r{};
    for (const auto& [at, value] : bytes)
        r[at] = value;
    return r;
}

QStringList Faults(const Reply& r)
{
    QStringList out;
    for (const UnitFault& f : StatusFaults(r))
        out << QStringLiteral("%1:%2").arg(f.type).arg(f.info);
    return out;
}
} // namespace

TEST(StatusReply, SensorFlagsAndValues)
{
    struct Case
    {
        quint8 hi, lo, flags;
        float value;
        bool outOfBounds, notPowered, alarm;
    };
    const Case cases[] = {
        {0x01, 0x2C, 0x01, 30.0f, false, false, false},
        {0x20, 0x0A, 0x00, -1.0f, false, true, false},
        {0x40, 0x00, 0x07, 819.2f, true, false, true},
        {0x00, 0x00, 0xF8, 0.0f, false, true, false},
    };
    for (const Case& c : cases) {
        // Sensor 12 sits at offset 33.
        const Reply r = With({{33, c.hi}, {34, c.lo}, {35, c.flags}});
        const SensorReading s = StatusSensor(r, 12);
        EXPECT_FLOAT_EQ(s.value, c.value);
        EXPECT_EQ(s.outOfBounds, c.outOfBounds);
        EXPECT_EQ(s.notPowered, c.notPowered);
        EXPECT_EQ(s.alarm, c.alarm);
        EXPECT_FLOAT_EQ(StatusSensor(r, 11).value, 0.0f);
    }
    EXPECT_TRUE(StatusSensor(With({}), 21).notPowered);
    EXPECT_TRUE(StatusSensor(With({}), 0).notPowered);
}

TEST(StatusReply, PowerInputsFromByte60)
{
    const Reply r = With({{60, 0x21}});
    EXPECT_TRUE(StatusPower(r, 1).condition);
    EXPECT_FALSE(StatusPower(r, 1).fault);
    EXPECT_FALSE(StatusPower(r, 2).condition);
    EXPECT_TRUE(StatusPower(r, 2).fault);
    for (int p : {3, 4, 5, 0})
        EXPECT_FALSE(StatusPower(r, p).condition || StatusPower(r, p).fault) << p;
}

TEST(StatusReply, ClockNullWhileInvalid)
{
    Reply r = With({{61, 13}, {62, 45}, {63, 24}, {64, 12}, {65, 9}});
    EXPECT_EQ(StatusClock(r), QDateTime(QDate(2009, 12, 24), QTime(13, 45), Qt::UTC));
    r[73] = 0x10;
    EXPECT_TRUE(StatusClock(r).isNull());
}

TEST(StatusReply, FaultBitsAndLogBlocked)
{
    EXPECT_EQ(Faults(With({{73, 0x14}})), (QStringList{"0:2", "0:4"}));
    EXPECT_TRUE(StatusLogBlocked(With({{73, 0x14}})));
    EXPECT_FALSE(StatusLogBlocked(With({{73, 0xFB}})));
    EXPECT_EQ(Faults(With({{74, 0xFF}})), (QStringList{"0:8"}));
    EXPECT_EQ(Faults(With({{71, 0xF8}})), (QStringList{"1:20"}));
    EXPECT_EQ(Faults(With({{69, 0x81}, {70, 0x08}})), (QStringList{"1:1", "1:8", "1:12"}));
    EXPECT_TRUE(Faults(With({{66, 0xFF}, {72, 0xFF}})).isEmpty());
    EXPECT_EQ(AllUnitFaults().size(), 29u);
}

TEST(StatusReply, AlarmAndRelayBytesUnchanged)
{
    const Reply r = With({{67, 7}, {68, 0xFF}});
    EXPECT_EQ(StatusAlarmCondition(r), 7);
    EXPECT_EQ(StatusRelayBCondition(r), 0xFF);
}
