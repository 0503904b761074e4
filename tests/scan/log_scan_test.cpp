#include "log_compare.h"
#include "scan_fixture.h"

#include <db/database.h>

using unitsim::EventSlot;
using unitsim::UnitState;

namespace {

class LogScan : public ScanFixture
{
protected:
    // "number type value counter time recipients" of a sensor's event rows, by event number.
    QStringList SensorEventRows(const QString& serial, int sensor)
    {
        return Rows(
            Db(),
            QStringLiteral("SELECT SeE_Eventnumber, SeE_Eventtype, SeE_Recordedvalue, SeE_BeforeCounter, "
                           "SeE_Recordeddatetime, SeE_Recipients FROM Sensors_Events WHERE "
                           "SeE_SyI_Serialnumber=? AND SeE_Sensornumber=? ORDER BY SeE_Eventnumber"),
            {serial, sensor});
    }
    QStringList PowerEventRows(const QString& serial)
    {
        return Rows(Db(),
                    QStringLiteral("SELECT PmE_Eventnumber, PmE_Eventpowercondition, PmE_BeforeCounter, "
                                   "PmE_Recordeddatetime, PmE_Recipients FROM Powermonitoring_Events WHERE "
                                   "PmE_SyI_Serialnumber=? ORDER BY PmE_Eventnumber"),
                    {serial});
    }
};

const QDateTime kWhen(QDate(2024, 6, 2), QTime(14, 35), Qt::UTC);

const EventSlot kAbsent{.present = false, .when = {}};

EventSlot Timed(int value, bool type1 = false)
{
    return {.type1 = type1, .when = kWhen, .value = value};
}

EventSlot Counted(quint32 count, int value)
{
    return {.counter = true, .count = count, .when = {}, .value = value};
}
} // namespace

TEST_P(LogScan, EventListSlotsAppearAndDisappear)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.events.SetSensor(1, {Timed(215, true), Counted(0x90000000u, -7)}, 0xC0);
    unit.events.SetSensor(2, {Timed(1)});
    unit.events.SetSensor(3, {kAbsent, Timed(0)});
    unit.events.SetPower({Counted(12, 0x81), Timed(2)}, 0xCC);
    Pass();
    EXPECT_EQ(SensorEventRows(QStringLiteral("S1"), 1),
              (QStringList{QStringLiteral("1 1 21.5 - 2024-06-02 14:35 15"),
                           QStringLiteral("2 0 -0.7 2147483647 - 15")}));
    EXPECT_EQ(SensorEventRows(QStringLiteral("S1"), 2),
              (QStringList{QStringLiteral("1 0 0.1 - 2024-06-02 14:35 15")}));
    EXPECT_TRUE(SensorEventRows(QStringLiteral("S1"), 3).isEmpty());
    EXPECT_EQ(PowerEventRows(QStringLiteral("S1")),
              (QStringList{QStringLiteral("1 129 12 - 15"), QStringLiteral("2 2 - 2024-06-02 14:35 15")}));

    // A terminal's change is overwritten; slots that went are deleted.
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Events SET SeE_Recipients=3")));
    unit.events.SetSensor(1, {Timed(300)});
    unit.events.SetSensor(2, {});
    unit.events.SetPower({kAbsent, Timed(0)});
    Pass();
    EXPECT_EQ(SensorEventRows(QStringLiteral("S1"), 1),
              (QStringList{QStringLiteral("1 0 30 - 2024-06-02 14:35 15")}));
    EXPECT_TRUE(SensorEventRows(QStringLiteral("S1"), 2).isEmpty());
    EXPECT_TRUE(PowerEventRows(QStringLiteral("S1")).isEmpty());
}

TEST_P(LogScan, UnusedAndOutOfRangeSensorsAreNotMirrored)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"), QStringLiteral("TELVARON-2"));
    // A row beyond the unit's eight inputs, and an unused one.
    ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, "
                                         "SeI_Used, SeI_Sensortype) VALUES ('T1', 9, 1, 1)")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Used=0 WHERE SeI_Sensornumber=2")));
    for (int n = 1; n <= 9; ++n) {
        unit.events.SetSensor(n, {Timed(n)});
        unit.logs.AppendSamples(n, 5);
    }
    unit.logs.AppendSensorEvent(9, true, 12); // a channel the unit does not have: no sensor type
    PassUntilSettled();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Events")), 7);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), 7 * 5);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records WHERE Rec_SeI_Sensornumber IN (2, 9)")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Event_SeI_Sensortype FROM Events_1 WHERE Event_EventSource=9")),
              0);
}

TEST_P(LogScan, SerialAndTcpUnitsDownloadEverySampleAndEventOnce)
{
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 2);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"), QStringLiteral("TELVARON-2"));
    unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
    unitsim::PrefillLogs(tcp.logs, 8, 250, 30, 1);
    const int passes = PassUntilSettled();
    EXPECT_EQ(passes, 3);
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    ExpectLogsMirrored(QStringLiteral("T1"), 8);
    EXPECT_GT(timers_.interval, 1000);

    // The units go on logging; the next passes take only what is new.
    serial.logs.SetClockAll(QDateTime(QDate(2024, 10, 27), QTime(0, 0), Qt::UTC));
    for (int n = 1; n <= 20; ++n)
        serial.logs.AppendSamples(n, 40);
    serial.logs.AppendEvents(5);
    tcp.logs.AppendSamples(8, 300);
    PassUntilSettled();
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    ExpectLogsMirrored(QStringLiteral("T1"), 8);
    EXPECT_TRUE(window_.problems.isEmpty()) << window_.problems.join(QLatin1Char('\n')).toStdString();
}

TEST_P(LogScan, BlockedBusyAndInvalidLogs)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.logs.AppendSamples(1, 300);
    unit.model.Update([](UnitState& s) { s.logBlocked = true; });
    Pass();
    EXPECT_EQ(unit.Arrivals(CmdReadLogPointers), 0);
    EXPECT_EQ(unit.Arrivals(CmdReadPowerEvents), 1);

    unit.model.Update([](UnitState& s) { s.logBlocked = false; });
    unit.sim.SetFault(CmdReadLogPointers, 1, unitsim::Fault::Status(StatusMenuBusy));
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkInMenu);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), 0);

    unit.sim.SetFault(CmdReadSensorEvents, unit.Arrivals(CmdReadSensorEvents) + 1,
                      unitsim::Fault::Status(StatusMenuBusy));
    const int powerAsked = unit.Arrivals(CmdReadPowerEvents);
    Pass(); // identified again
    Pass();
    EXPECT_EQ(unit.Arrivals(CmdReadPowerEvents), powerAsked + 1);

    // Pointers the log cannot have: the log is skipped and reported while they last, with the
    // sensor numbered as the operator knows it; the others go on.
    const QString sensor1 =
        QStringLiteral("SELECT SeI_RecordsTable_LastrecSN FROM Sensors_Info WHERE SeI_Sensornumber=1");
    const int taken = Count(sensor1);
    unit.logs.AppendSamples(2, 10);
    unit.logs.SetPointer(0, {600, 0, 0, 0});
    PassUntilSettled();
    Pass();
    EXPECT_EQ(window_.problems, QStringList{QStringLiteral(
                                    "Μη έγκυροι δείκτες της καταγραφής του αισθητήρα 1 του συστήματος S1")});
    EXPECT_EQ(window_.status, window_.problems.value(0));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records WHERE Rec_SeI_Sensornumber=2")), 10);
    EXPECT_EQ(Count(sensor1), taken);
}

TEST_P(LogScan, AStaleHalfIsReadAgainEveryHalfSecondAndReportedFromTheThirdTime)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.logs.AppendEvents(30);
    unitsim::LogPointerState pointer = unit.logs.PointerState(unitsim::kEventLog);
    pointer.writePageSN += 100;
    unit.logs.SetPointer(unitsim::kEventLog, pointer);
    for (int pass = 1; pass <= 4; ++pass) {
        SCOPED_TRACE(pass);
        const int reads = unit.Arrivals(CmdReadLogPage);
        Pass();
        EXPECT_GT(unit.Arrivals(CmdReadLogPage), reads);
        EXPECT_EQ(timers_.interval, 500);
        EXPECT_EQ(window_.status,
                  pass < 3 ? QString()
                           : QStringLiteral("Μη έγκυροι δείκτες της καταγραφής συμβάντων του συστήματος S1"));
    }
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Events_1")), 0);
}

TEST_P(LogScan, DroppedLinksAndLogsThatCannotBeStoredLoseRepeatAndHoldBackNothing)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"));
    unitsim::PrefillLogs(unit.logs, 20, 150, 40, 1);
    unit.sim.SetFault(CmdReadLogPage, 7, unitsim::Fault::Drop());
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkOffline);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), 6 * 100);

    // Rows of sensor 1 are refused, as by a table that a terminal's program changed: its counters
    // stay where its stored rows left them, and the other logs go on.
    ASSERT_TRUE(RefuseRows(Db(), QStringLiteral("Records"), QStringLiteral("INSERT"),
                           QStringLiteral("NEW.Rec_SeI_Sensornumber=1")));
    const QString sensor1 =
        QStringLiteral("SELECT SeI_RecordsTable_LastrecSN FROM Sensors_Info WHERE SeI_Sensornumber=1");
    const int taken = Count(sensor1);
    PassUntilSettled();
    EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")));
    EXPECT_EQ(Count(sensor1), taken);
    for (int n = 2; n <= 20; ++n)
        EXPECT_EQ(StoredSamples(Db(), QStringLiteral("T1"), n), ExpectedSamples(unit.logs.Samples(n))) << n;
    EXPECT_EQ(StoredEvents(Db(), QStringLiteral("T1")), ExpectedEvents(unit.logs.Events()));

    ASSERT_TRUE(RefuseRows(Db(), QStringLiteral("Records"), std::nullopt));
    PassUntilSettled();
    ExpectLogsMirrored(QStringLiteral("T1"), 20);
    EXPECT_EQ(window_.status, QString());
}

INSTANTIATE_BOTH_DRIVERS(LogScan);
