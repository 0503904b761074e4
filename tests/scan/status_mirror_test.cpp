#include "log_compare.h"
#include "test_databases.h"

#include <db/database.h>
#include <db/wall_clock.h>
#include <scan/event_list_mirror.h>
#include <scan/status_mirror.h>
#include <scan/status_reply.h>

#include <algorithm>
#include <array>
#include <tuple>

namespace {
using Reply = std::array<quint8, kStatusReplyLength>;

Reply With(std::initializer_list<std::pair<int, quint8>> bytes)
{
    Reply r{};
    for (const auto& [at, value] : bytes)
        r[at] = value;
    return r;
}

void Put(Reply& r, int at, std::initializer_list<quint8> bytes)
{
    std::copy(bytes.begin(), bytes.end(), r.begin() + at);
}

QStringList Faults(const Reply& r)
{
    QStringList out;
    for (const UnitFault& f : StatusFaults(r))
        out << QStringLiteral("%1:%2").arg(f.type).arg(f.info);
    return out;
}

// Unit U1 has sensors 1, 2 (unused), 12 and 21, and power inputs 1 to 3.
class StatusMirror : public BothDriversTest
{
protected:
    void SetUp() override
    {
        BothDriversTest::SetUp();
        if (!testDb_)
            return;
        for (int n : {1, 2, 12, 21})
            ASSERT_TRUE(Db().Exec(
                QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, "
                               "SeI_Sensornumber, SeI_Used, SeI_Sensortype) VALUES ('U1', ?, ?, 1)"),
                {n, n == 2 ? 0 : 1}));
        for (int p : {1, 2, 3})
            ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, "
                                                 "PmI_Powernumber, PmI_Used) VALUES ('U1', ?, 1)"),
                                  {p}));
    }

    QStringList Rows(const QString& sql) { return ::Rows(Db(), sql); }
    QStringList FaultRows(const QString& serial)
    {
        return Rows(QStringLiteral("SELECT SyF_Faulttype, SyF_Faultinfo FROM Systems_Faults WHERE "
                                   "SyF_SyI_Serialnumber='%1' ORDER BY SyF_Faulttype, SyF_Faultinfo")
                        .arg(serial));
    }
};
} // namespace

TEST(StatusReply, SensorsPowerClockAndFaults)
{
    struct Case
    {
        quint8 hi, lo, flags;
        float value;
        bool outOfBounds, notPowered, alarm;
    } cases[] = {
        {0x01, 0x2C, 0x01, 30.0f, false, false, false},
        {0x20, 0x0A, 0x00, -1.0f, false, true, false},
        {0x40, 0x00, 0x07, 819.2f, true, false, true},
        {0x00, 0x00, 0xF8, 0.0f, false, true, false},
    };
    for (const Case& c : cases) {
        const Reply r = With({{33, c.hi}, {34, c.lo}, {35, c.flags}}); // sensor 12
        const SensorReading s = StatusSensor(r, 12);
        EXPECT_FLOAT_EQ(s.value, c.value);
        EXPECT_EQ(std::tuple(s.outOfBounds, s.notPowered, s.alarm),
                  std::tuple(c.outOfBounds, c.notPowered, c.alarm));
        EXPECT_FLOAT_EQ(StatusSensor(r, 11).value, 0.0f);
    }
    EXPECT_TRUE(StatusSensor(With({}), 21).notPowered);
    EXPECT_TRUE(StatusSensor(With({}), 0).notPowered);

    const Reply power = With({{60, 0x21}});
    for (int p : {1, 2, 3, 4, 5, 0})
        EXPECT_EQ(std::pair(StatusPower(power, p).condition, StatusPower(power, p).fault),
                  std::pair(p == 1, p == 2))
            << p;

    Reply clock = With({{67, 7}, {68, 0xFF}});
    Put(clock, 61, {13, 45, 24, 12, 9});
    EXPECT_EQ(StatusClock(clock), QDateTime(QDate(2009, 12, 24), QTime(13, 45), Qt::UTC));
    EXPECT_EQ(StatusAlarmCondition(clock), 7);
    EXPECT_EQ(StatusRelayBCondition(clock), 0xFF);
    clock[73] = 0x10;
    EXPECT_TRUE(StatusClock(clock).isNull());

    EXPECT_EQ(Faults(With({{73, 0x14}})), (QStringList{"0:2", "0:4"}));
    EXPECT_TRUE(StatusLogBlocked(With({{73, 0x14}})));
    EXPECT_FALSE(StatusLogBlocked(With({{73, 0xFB}})));
    EXPECT_EQ(Faults(With({{74, 0xFF}})), (QStringList{"0:8"}));
    EXPECT_EQ(Faults(With({{71, 0xF8}})), (QStringList{"1:20"}));
    EXPECT_EQ(Faults(With({{69, 0x81}, {70, 0x08}})), (QStringList{"1:1", "1:8", "1:12"}));
    EXPECT_TRUE(Faults(With({{66, 0xFF}, {72, 0xFF}})).isEmpty());
}

TEST_P(StatusMirror, FaultRowsFollowTheBits)
{
    ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Systems_Faults VALUES ('U1', 0, '9')")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Systems_Faults VALUES ('U2', 0, '2')")));
    for (int pass = 0; pass < 3; ++pass)
        ASSERT_TRUE(
            MirrorStatus(Db(), QStringLiteral("U1"), With({{73, 0x14}, {74, 0x01}, {71, 0xF8}}), 20, 4));
    EXPECT_EQ(FaultRows(QStringLiteral("U1")), (QStringList{"0 2", "0 4", "0 8", "0 9", "1 20"}));

    ASSERT_TRUE(MirrorStatus(Db(), QStringLiteral("U1"), With({{69, 0x01}}), 20, 4));
    // Rows of faults the reply cannot carry and of other units are left alone.
    EXPECT_EQ(FaultRows(QStringLiteral("U1")), (QStringList{"0 9", "1 1"}));
    EXPECT_EQ(FaultRows(QStringLiteral("U2")), (QStringList{"0 2"}));
}

TEST_P(StatusMirror, ConditionRowsCreatedThenOverwritten)
{
    // Sensor 1: 30.0, powered; sensor 12: -1.0, out of bounds, alarm; inputs 1 on, 2 faulty.
    Reply first = With({{60, 0x21}, {67, 3}, {68, 1}});
    Put(first, 0, {0x01, 0x2C, 0x01});
    Put(first, 33, {0x20, 0x0A, 0x07});
    Put(first, 61, {13, 45, 24, 12, 9});
    ASSERT_TRUE(MirrorStatus(Db(), QStringLiteral("U1"), first, 20, 4));
    const QString unitSql = QStringLiteral("SELECT SyCC_SyI_Serialnumber, SyCC_Alarmcondition, "
                                           "SyCC_RelayBcondition, SyCC_Inacall FROM "
                                           "Systems_Current_Condition");
    EXPECT_EQ(Rows(unitSql), QStringList{"U1 3 1 0"});
    EXPECT_EQ(WallClockFromValue(Value(QStringLiteral("SELECT SyCC_Rtc FROM Systems_Current_Condition"))),
              QDateTime(QDate(2009, 12, 24), QTime(13, 45), Qt::UTC));
    // Used sensors within the unit's range only: 2 is not used, 21 has no entry.
    const QString sensorSql = QStringLiteral("SELECT SeCC_Sensornumber, SeCC_Currvalue, SeCC_Outofbounds, "
                                             "SeCC_Notpowered, SeCC_Alarmcondition FROM "
                                             "Sensors_Current_Condition ORDER BY SeCC_Sensornumber");
    EXPECT_EQ(Rows(sensorSql), (QStringList{"1 30 0 0 0", "12 -1 1 0 1"}));
    EXPECT_EQ(Rows(QStringLiteral("SELECT PmCC_Powernumber, PmCC_Powerfault, PmCC_Powercondition FROM "
                                  "Powermonitoring_Current_Condit ORDER BY PmCC_Powernumber")),
              (QStringList{"1 0 1", "2 1 0", "3 0 0"}));

    // Overwritten in place; a clock reported invalid is Null; a sensor no longer used keeps its row.
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Used=0 WHERE SeI_Sensornumber=12")));
    ASSERT_TRUE(MirrorStatus(Db(), QStringLiteral("U1"), With({{73, 0x10}, {67, 5}, {1, 0x05}}), 20, 4));
    EXPECT_EQ(Rows(unitSql), QStringList{"U1 5 0 0"});
    EXPECT_EQ(Rows(QStringLiteral("SELECT SyCC_Rtc FROM Systems_Current_Condition")), QStringList{"-"});
    EXPECT_EQ(Rows(sensorSql), (QStringList{"1 0.5 0 1 0", "12 -1 1 0 1"}));

    // An eight-sensor unit with two power inputs.
    ASSERT_TRUE(Db().Exec(QStringLiteral("DELETE FROM Powermonitoring_Current_Condit")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("DELETE FROM Sensors_Current_Condition")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Used=1")));
    ASSERT_TRUE(MirrorStatus(Db(), QStringLiteral("U1"), With({}), 8, 2));
    EXPECT_EQ(Rows(QStringLiteral("SELECT SeCC_Sensornumber FROM Sensors_Current_Condition ORDER BY 1")),
              (QStringList{"1", "2"}));
    EXPECT_EQ(Rows(QStringLiteral("SELECT PmCC_Powernumber FROM Powermonitoring_Current_Condit ORDER BY 1")),
              (QStringList{"1", "2"}));
}

TEST_P(StatusMirror, DatabaseErrorLeavesNothingHalfWritten)
{
    ASSERT_TRUE(Db().Exec(QStringLiteral("DROP TABLE Powermonitoring_Current_Condit")));
    EXPECT_FALSE(MirrorStatus(Db(), QStringLiteral("U1"), With({{73, 0x01}}), 20, 4));
    EXPECT_FALSE(Db().LastError().description.isEmpty());
    EXPECT_TRUE(FaultRows(QStringLiteral("U1")).isEmpty());
    EXPECT_TRUE(Rows(QStringLiteral("SELECT * FROM Systems_Current_Condition")).isEmpty());
}

// Slot 1 present, slot 2 gone: the rewrite of slot 1 and the removal of slot 2 go together.
TEST_P(StatusMirror, FailedEventListLeavesEarlierRowsAsTheyWere)
{
    for (int e : {1, 2}) {
        ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Powermonitoring_Events (PmE_SyI_Serialnumber, "
                                             "PmE_Eventnumber, PmE_Recipients) VALUES ('U1', ?, 3)"),
                              {e}));
        ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, "
                                             "SeE_Sensornumber, SeE_Eventnumber, SeE_Recipients) "
                                             "VALUES ('U1', 1, ?, 3)"),
                              {e}));
    }
    ASSERT_TRUE(RefuseRows(Db(), QStringLiteral("Powermonitoring_Events"), QStringLiteral("DELETE")));
    ASSERT_TRUE(RefuseRows(Db(), QStringLiteral("Sensors_Events"), QStringLiteral("DELETE")));
    std::array<quint8, 13> list{0x11}; // slot 1 present, with a counter

    EXPECT_FALSE(MirrorPowerEvents(Db(), QStringLiteral("U1"), list));
    EXPECT_FALSE(MirrorSensorEvents(Db(), QStringLiteral("U1"), 1, list));

    EXPECT_FALSE(Db().InTransaction());
    EXPECT_EQ(Rows(QStringLiteral("SELECT PmE_Recipients FROM Powermonitoring_Events")),
              (QStringList{"3", "3"}));
    EXPECT_EQ(Rows(QStringLiteral("SELECT SeE_Recipients FROM Sensors_Events")), (QStringList{"3", "3"}));
}

INSTANTIATE_BOTH_DRIVERS(StatusMirror);
