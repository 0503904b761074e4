#include "test_databases.h"

#include <db/database.h>
#include <db/wall_clock.h>
#include <scan/status_mirror.h>
#include <scan/status_reply.h>

#include <array>

namespace {
using Reply = std::array<quint8, kStatusReplyLength>;

class StatusMirror : public BothDriversTest
{
protected:
    void SetUp() override
    {
        BothDriversTest::SetUp();
        if (!testDb_)
            return;
        for (int n : {1, 2, 12, 21})
            ASSERT_TRUE(db().exec(
                QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, "
                               "SeI_Sensornumber, SeI_Used, SeI_Sensortype) VALUES ('U1', ?, ?, 1)"),
                {n, n == 2 ? 0 : 1}));
        for (int p : {1, 2, 3})
            ASSERT_TRUE(db().exec(QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, "
                                                 "PmI_Powernumber, PmI_Used) VALUES ('U1', ?, 1)"),
                                  {p}));
    }

    QStringList Faults(const QString& serial)
    {
        QStringList out;
        const auto rows =
            db().select(QStringLiteral("SELECT SyF_Faulttype, SyF_Faultinfo FROM Systems_Faults WHERE "
                                       "SyF_SyI_Serialnumber=? ORDER BY SyF_Faulttype, SyF_Faultinfo"),
                        {serial});
        for (const QSqlRecord& r : *rows)
            out << QStringLiteral("%1:%2").arg(r.value(0).toInt()).arg(r.value(1).toString());
        return out;
    }

    QList<QSqlRecord> Rows(const QString& sql) { return db().select(sql).value_or(QList<QSqlRecord>{}); }
};
} // namespace

TEST_P(StatusMirror, FaultRowsFollowTheBits)
{
    ASSERT_TRUE(db().exec(QStringLiteral("INSERT INTO Systems_Faults VALUES ('U1', 0, '9')")));
    ASSERT_TRUE(db().exec(QStringLiteral("INSERT INTO Systems_Faults VALUES ('U2', 0, '2')")));
    Reply r{};
    r[73] = 0x14;
    r[74] = 0x01;
    r[71] = 0xF8;
    for (int pass = 0; pass < 3; ++pass)
        ASSERT_TRUE(MirrorStatus(db(), QStringLiteral("U1"), r, 20, 4));
    EXPECT_EQ(Faults(QStringLiteral("U1")), (QStringList{"0:2", "0:4", "0:8", "0:9", "1:20"}));

    Reply clear{};
    clear[69] = 0x01;
    ASSERT_TRUE(MirrorStatus(db(), QStringLiteral("U1"), clear, 20, 4));
    // Rows of faults the reply cannot carry and of other units are left alone.
    EXPECT_EQ(Faults(QStringLiteral("U1")), (QStringList{"0:9", "1:1"}));
    EXPECT_EQ(Faults(QStringLiteral("U2")), (QStringList{"0:2"}));
}

TEST_P(StatusMirror, ConditionRowsCreatedThenOverwritten)
{
    Reply r{};
    r[0] = 0x01, r[1] = 0x2C, r[2] = 0x01;    // sensor 1: 30.0, powered
    r[33] = 0x20, r[34] = 0x0A, r[35] = 0x07; // sensor 12: -1.0, out of bounds, alarm
    r[60] = 0x21;
    r[61] = 13, r[62] = 45, r[63] = 24, r[64] = 12, r[65] = 9;
    r[67] = 3, r[68] = 1;
    ASSERT_TRUE(MirrorStatus(db(), QStringLiteral("U1"), r, 20, 4));

    auto unit =
        Rows(QStringLiteral("SELECT SyCC_Alarmcondition, SyCC_RelayBcondition, SyCC_Inacall, SyCC_Rtc FROM "
                            "Systems_Current_Condition WHERE SyCC_SyI_Serialnumber='U1'"));
    ASSERT_EQ(unit.size(), 1);
    EXPECT_EQ(unit[0].value(0).toInt(), 3);
    EXPECT_EQ(unit[0].value(1).toInt(), 1);
    EXPECT_EQ(unit[0].value(2).toInt(), 0);
    EXPECT_EQ(WallClockFromValue(unit[0].value(3)), QDateTime(QDate(2009, 12, 24), QTime(13, 45), Qt::UTC));

    // Used sensors within the unit's range only: 2 is not used, 21 has no entry.
    const auto sensors = Rows(QStringLiteral("SELECT SeCC_Sensornumber, SeCC_Currvalue, SeCC_Outofbounds, "
                                             "SeCC_Notpowered, SeCC_Alarmcondition FROM "
                                             "Sensors_Current_Condition ORDER BY SeCC_Sensornumber"));
    ASSERT_EQ(sensors.size(), 2);
    EXPECT_EQ(sensors[0].value(0).toInt(), 1);
    EXPECT_FLOAT_EQ(sensors[0].value(1).toFloat(), 30.0f);
    EXPECT_EQ(sensors[0].value(3).toInt(), 0);
    EXPECT_EQ(sensors[1].value(0).toInt(), 12);
    EXPECT_FLOAT_EQ(sensors[1].value(1).toFloat(), -1.0f);
    EXPECT_EQ(sensors[1].value(2).toInt(), 1);
    EXPECT_EQ(sensors[1].value(4).toInt(), 1);
    const auto power =
        Rows(QStringLiteral("SELECT PmCC_Powernumber, PmCC_Powerfault, PmCC_Powercondition FROM "
                            "Powermonitoring_Current_Condit ORDER BY PmCC_Powernumber"));
    ASSERT_EQ(power.size(), 3);
    EXPECT_EQ(power[0].value(2).toInt(), 1);
    EXPECT_EQ(power[1].value(1).toInt(), 1);
    EXPECT_EQ(power[2].value(1).toInt() + power[2].value(2).toInt(), 0);

    // Overwritten in place; a clock reported invalid is Null; a sensor no longer used keeps its row.
    ASSERT_TRUE(db().exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Used=0 WHERE SeI_Sensornumber=12")));
    Reply next{};
    next[73] = 0x10;
    next[67] = 5;
    next[0] = 0x00, next[1] = 0x05, next[2] = 0x00;
    ASSERT_TRUE(MirrorStatus(db(), QStringLiteral("U1"), next, 20, 4));
    unit = Rows(QStringLiteral("SELECT SyCC_Alarmcondition, SyCC_Rtc FROM Systems_Current_Condition"));
    ASSERT_EQ(unit.size(), 1);
    EXPECT_EQ(unit[0].value(0).toInt(), 5);
    EXPECT_TRUE(unit[0].value(1).isNull());
    const auto after = Rows(QStringLiteral("SELECT SeCC_Sensornumber, SeCC_Currvalue, SeCC_Notpowered FROM "
                                           "Sensors_Current_Condition ORDER BY SeCC_Sensornumber"));
    ASSERT_EQ(after.size(), 2);
    EXPECT_FLOAT_EQ(after[0].value(1).toFloat(), 0.5f);
    EXPECT_EQ(after[0].value(2).toInt(), 1);
    EXPECT_FLOAT_EQ(after[1].value(1).toFloat(), -1.0f);
}

TEST_P(StatusMirror, EightSensorUnitSkipsNumbersBeyondItsRange)
{
    Reply r{};
    ASSERT_TRUE(MirrorStatus(db(), QStringLiteral("U1"), r, 8, 2));
    EXPECT_EQ(Rows(QStringLiteral("SELECT SeCC_Sensornumber FROM Sensors_Current_Condition")).size(), 1);
    EXPECT_EQ(Rows(QStringLiteral("SELECT PmCC_Powernumber FROM Powermonitoring_Current_Condit")).size(), 2);
}

TEST_P(StatusMirror, DatabaseErrorLeavesNothingHalfWritten)
{
    ASSERT_TRUE(db().exec(QStringLiteral("DROP TABLE Powermonitoring_Current_Condit")));
    Reply r{};
    r[73] = 0x01;
    EXPECT_FALSE(MirrorStatus(db(), QStringLiteral("U1"), r, 20, 4));
    EXPECT_FALSE(db().lastError().description.isEmpty());
    EXPECT_TRUE(Faults(QStringLiteral("U1")).isEmpty());
    EXPECT_TRUE(Rows(QStringLiteral("SELECT * FROM Systems_Current_Condition")).isEmpty());
}

INSTANTIATE_BOTH_DRIVERS(StatusMirror);
