#include "log_compare.h"
#include "scan_fixture.h"

#include <db/database.h>

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

#include <unistd.h>

using unitsim::UnitMode;
using unitsim::UnitState;

namespace {

class ScanPass : public ScanFixture
{
protected:
    int Online(const QString& serial)
    {
        return Count(QStringLiteral("SELECT SyI_Online FROM Systems_Info WHERE SyI_Serialnumber=?"),
                     {serial});
    }
    QString MissingPortText(int com)
    {
        return QStringLiteral("Η θύρα COM%1 (%2) δεν ανοίγει: No such file or directory")
            .arg(com)
            .arg(dir_.filePath(QStringLiteral("com%1").arg(com)));
    }
};
} // namespace

TEST_P(ScanPass, BringsSerialAndTcpUnitsOnlineAndMirrorsTheirStatus)
{
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 3);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"), QStringLiteral("TELVARON-2"));
    serial.model.Update([](UnitState& s) {
        s.sensors[0].tenths = 300;
        s.sensors[4].fault = true;
        s.alarmCondition = 4;
        s.powerCondition[0] = true;
    });
    tcp.model.Update([](UnitState& s) { s.sensors[7].tenths = -15; });
    Pass();
    EXPECT_EQ(window_.shownUnits, 2);
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Online(QStringLiteral("T1")), 1);
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}, {1, 1}}));
    EXPECT_EQ(Unit(0).LinkType, 1);
    EXPECT_EQ(Unit(1).LinkType, 0);
    // Per unit: its condition rows, one sensor's value, its alarm condition and the fault of sensor 5.
    EXPECT_EQ(
        Rows(Db(), QStringLiteral("SELECT SeCC_SyI_Serialnumber, COUNT(*) FROM Sensors_Current_Condition "
                                  "GROUP BY SeCC_SyI_Serialnumber ORDER BY SeCC_SyI_Serialnumber")),
        (QStringList{"S1 20", "T1 8"}));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Powermonitoring_Current_Condit")), 6);
    EXPECT_EQ(Rows(Db(), QStringLiteral("SELECT SeCC_Currvalue FROM Sensors_Current_Condition WHERE "
                                        "SeCC_Sensornumber=1 AND SeCC_SyI_Serialnumber='S1' OR "
                                        "SeCC_Sensornumber=8 AND SeCC_SyI_Serialnumber='T1' ORDER BY 1")),
              (QStringList{"-1.5", "30"}));
    EXPECT_EQ(Rows(Db(), QStringLiteral("SELECT SyCC_Alarmcondition, SyF_Faulttype, SyF_Faultinfo FROM "
                                        "Systems_Current_Condition JOIN Systems_Faults ON "
                                        "SyF_SyI_Serialnumber=SyCC_SyI_Serialnumber WHERE "
                                        "SyCC_SyI_Serialnumber='S1' AND SyF_Faulttype=1")),
              QStringList{"4 1 5"});
    EXPECT_EQ(timers_.rearms, 1);
    EXPECT_GT(timers_.interval, 1000);
    EXPECT_TRUE(window_.problems.isEmpty());
}

TEST_P(ScanPass, PassesStartTenSecondsApartAndAPendingRequestHurriesTheNext)
{
    AddTcpUnit(QStringLiteral("T1"));
    // A pass of that many seconds; a clock set back waits the full ten seconds.
    const std::pair<qint64, int> cases[] = {{0, 10000}, {3, 7000},  {8, 2000},  {9, 1000},
                                            {10, 1000}, {12, 1000}, {-1, 10000}};
    for (const auto& [seconds, interval] : cases) {
        passSeconds_ = seconds;
        Pass();
        EXPECT_EQ(timers_.interval, interval) << seconds;
    }
    // Two requests a turn: the third is left for the next pass.
    for (int i = 0; i < 3; ++i)
        AddRequest(QStringLiteral("T1"), 2, QStringLiteral("1234;1"));
    passSeconds_ = 3;
    Pass();
    EXPECT_EQ(Replies(), (QStringList{"1/1", "1/1", "0/0"}));
    EXPECT_EQ(timers_.interval, 500);
}

TEST_P(ScanPass, LostUnitRestsOnePassAndIsFoundAgain)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    Pass();
    ASSERT_EQ(Unit(0).LinkState, LinkOnline);

    unit.SetMode(UnitMode::Silent);
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkOffline);
    EXPECT_EQ(Unit(0).BackoffRounds, 1);
    EXPECT_EQ(Online(QStringLiteral("S1")), 0);
    // Its condition rows keep their last values while it is away.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Current_Condition")), 20);

    unit.SetMode(UnitMode::Normal);
    unit.model.Update([](UnitState& s) { s.alarmCondition = 6; });
    const int asked = unit.Arrivals(CmdIdentify);
    Pass();
    EXPECT_EQ(unit.Arrivals(CmdIdentify), asked);
    EXPECT_EQ(Unit(0).LinkState, LinkOffline);
    EXPECT_EQ(window_.linkStates[0], 0);

    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkOnline);
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition")), 6);
}

TEST_P(ScanPass, ForeignSerialNumberIsNeverTakenOnline)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"));
    unit.SetMode(UnitMode::ForeignSerial);
    QList<int> asked;
    for (int pass = 1; pass <= 4; ++pass) {
        Pass();
        EXPECT_EQ(Unit(0).LinkState, LinkOffline);
        asked << unit.Arrivals(CmdIdentify);
    }
    // Asked in passes 1 and 4, resting two passes in between; never asked for its status.
    EXPECT_EQ(asked, (QList<int>{1, 1, 1, 2}));
    EXPECT_EQ(unit.Arrivals(CmdReadStatus), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Current_Condition")), 0);
}

TEST_P(ScanPass, UnitBusyInItsMenu)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 2);
    unit.model.Update([](UnitState& s) { s.sensors[2].fault = true; });
    Pass();
    ASSERT_EQ(Unit(0).LinkState, LinkOnline);

    unit.SetMode(UnitMode::MenuBusy);
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkInMenu);
    EXPECT_EQ(Unit(0).BackoffRounds, 0);
    EXPECT_EQ(Online(QStringLiteral("S1")), 2);
    EXPECT_EQ(window_.linkStates[0], 2);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults")), 1);

    // Asked again in every pass while busy, and online as soon as it answers normally.
    const int asked = unit.Arrivals(CmdIdentify);
    Pass();
    EXPECT_EQ(unit.Arrivals(CmdIdentify), asked + 1);
    EXPECT_EQ(Unit(0).LinkState, LinkInMenu);
    unit.SetMode(UnitMode::Normal);
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkOnline);
}

TEST_P(ScanPass, UnreachableAddressesKeepTheirUnitsOfflineOnly)
{
    const QString model = QStringLiteral("TELVARON-1");
    AddUnitRow(QStringLiteral("BAD1"), 1, QStringLiteral("x-115200"), model);
    AddUnitRow(QStringLiteral("BAD2"), 1, QStringLiteral("9-115200"), model);
    AddUnitRow(QStringLiteral("BAD3"), 0, QStringLiteral("127.0.0.1-115200"), model);
    // Only a port that exists in the address, and does not open, can be named, with its reason.
    QString problems = MissingPortText(9);
    if (geteuid() != 0) { // root opens any device
        QFile device(dir_.filePath(QStringLiteral("com6")));
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        device.close();
        ASSERT_TRUE(device.setPermissions(QFile::Permissions()));
        AddUnitRow(QStringLiteral("BAD4"), 1, QStringLiteral("6-115200"), model);
        problems +=
            QStringLiteral("\nΗ θύρα COM6 (%1) δεν ανοίγει: Permission denied").arg(device.fileName());
    }
    AddSerialUnit(QStringLiteral("S1"), 4);
    // A stored address with leading zeros is read in decimal.
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Aux1=? WHERE SyI_Serialnumber='T1'"),
                          {QStringLiteral("0127.000.000.001:%1-115200").arg(tcp.sim.TcpPort())}));
    Pass();
    for (const char* serial : {"BAD1", "BAD2", "BAD3", "BAD4"}) // no row: -1
        EXPECT_LE(Online(QString::fromLatin1(serial)), 0) << serial;
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Online(QStringLiteral("T1")), 1);
    EXPECT_EQ(engine_->RuntimeSystems().back().Host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(timers_.rearms, 1);
    EXPECT_EQ(window_.status, problems);
}

TEST_P(ScanPass, EachPortThatDoesNotOpenIsNamedUntilItOpens)
{
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 5);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    AddSerialUnit(QStringLiteral("U1"), 7);
    const quint16 tcpPort = tcp.sim.TcpPort();
    serial.sim.Stop(); // its device is gone
    tcp.sim.Stop();    // nobody listens on its port
    const QString serialLine = MissingPortText(5);
    const QString tcpLine =
        QStringLiteral("Η σύνδεση με 127.0.0.1:%1 απέτυχε: Connection refused").arg(tcpPort);
    const QString both = serialLine + QLatin1Char('\n') + tcpLine;

    Pass();
    EXPECT_EQ(window_.status, both);
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 0}, {1, 0}, {2, 1}}));
    EXPECT_EQ(Unit(0).BackoffRounds, 1);
    EXPECT_EQ(Unit(1).BackoffRounds, 1);

    // Resting, they are not tried, and their lines stand without a gap.
    Pass();
    EXPECT_EQ(window_.status, both);
    EXPECT_EQ(window_.problems.size(), 2);

    ASSERT_TRUE(serial.sim.ServePty(dir_.filePath(QStringLiteral("com5"))));
    Pass();
    EXPECT_EQ(Unit(0).LinkState, LinkOnline);
    EXPECT_EQ(window_.status, tcpLine);

    ASSERT_TRUE(tcp.sim.ServeTcp(tcpPort));
    Pass(); // the TCP unit rests after its failure in the pass before
    EXPECT_EQ(window_.status, tcpLine);
    Pass();
    EXPECT_EQ(Unit(1).LinkState, LinkOnline);
    EXPECT_EQ(window_.status, QString());
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}, {1, 1}, {2, 1}}));
}

TEST_P(ScanPass, ADatabaseErrorSkipsOnlyItsStepAndIsShownWhileItLasts)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    AddTcpUnit(QStringLiteral("T1"));
    unit.events.SetSensor(1, {unitsim::EventSlot{}});
    unit.logs.AppendSamples(1, 5);
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Systems_Faults RENAME TO Faults_Away")));
    Pass();
    EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")))
        << window_.status.toStdString();
    EXPECT_EQ(window_.problems.size(), 1);
    // The status step failed; the event lists and the logs of the same turn did not.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Events WHERE SeE_SyI_Serialnumber='S1'")),
              1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records WHERE Rec_SyI_Serialnumber='S1'")), 5);
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Online(QStringLiteral("T1")), 1);
    EXPECT_EQ(timers_.rearms, 1);

    // The same trouble in the next pass is not reported again; once it is over, the line clears.
    Pass();
    EXPECT_EQ(window_.problems.size(), 1);
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Faults_Away RENAME TO Systems_Faults")));
    Pass();
    EXPECT_EQ(window_.status, QString());
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Current_Condition")), 40);
    flags_.StopRequested = true;
    Pass();
    EXPECT_EQ(window_.restored, 1);
}

TEST_P(ScanPass, ABrokenRequestTableLeavesTheUnitsMonitored)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    Pass();
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Terminal_Requests RENAME TO Requests_Away")));
    unit.model.Update([](UnitState& s) { s.alarmCondition = 6; });
    Pass();
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition")), 6);
    EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")));

    // Requests are served again once the table is back.
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Requests_Away RENAME TO Terminal_Requests")));
    AddRequest(QStringLiteral("S1"), 1, QStringLiteral("1234;3"));
    Pass();
    EXPECT_EQ(Replies(), QStringList{QStringLiteral("1/1")});
    EXPECT_EQ(unit.model.State().alarmCondition, 3);
    EXPECT_EQ(window_.status, QString());
}

TEST_P(ScanPass, ALockHeldByATerminalHoldsNoPassForLong)
{
    constexpr int kGiveUpMs = 300;
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    AddTcpUnit(QStringLiteral("T1"));
    AddTcpUnit(QStringLiteral("T2"));
    Pass();
    AddRequest(QStringLiteral("S1"), 1, QStringLiteral("1234;3"));
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    if (GetParam() == Database::Driver::SQLite) {
        // SQLite locks the whole file: every write of the pass waits, and gives up.
        ASSERT_TRUE(Db().OpenSqlite(TestDb().SqliteFile(), std::chrono::milliseconds(kGiveUpMs)));
        ASSERT_TRUE(terminal.Exec(QStringLiteral("BEGIN IMMEDIATE")));
    } else {
        ASSERT_TRUE(Db().Exec(QStringLiteral("SET lock_timeout=%1").arg(kGiveUpMs)));
        // Should a query wait regardless, the lock goes with its holder after a while.
        ASSERT_TRUE(terminal.Exec(QStringLiteral("SET idle_in_transaction_session_timeout=10000")));
        ASSERT_TRUE(terminal.Exec(QStringLiteral("BEGIN")));
        ASSERT_TRUE(terminal.Exec(QStringLiteral("LOCK TABLE Terminal_Requests IN ACCESS EXCLUSIVE MODE")));
    }
    unit.model.Update([](UnitState& s) { s.alarmCondition = 8; });
    QElapsedTimer held;
    held.start();
    Pass();
    // The request table that failed is left alone for the rest of the pass: it is waited on
    // once, and its request is not sent again in every turn.
    if (GetParam() == Database::Driver::PostgreSQL) {
        EXPECT_LT(held.elapsed(), 3 * kGiveUpMs);
        EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition WHERE "
                                       "SyCC_SyI_Serialnumber='S1'")),
                  8);
    } else {
        EXPECT_LT(held.elapsed(), 40 * kGiveUpMs);
        EXPECT_EQ(unit.Arrivals(CmdSetAlarmCondition), 1);
    }
    EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")));
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}, {1, 1}, {2, 1}}));

    ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
    Pass();
    EXPECT_EQ(Replies(), QStringList{QStringLiteral("1/1")});
    EXPECT_EQ(
        Count(QStringLiteral(
            "SELECT SyCC_Alarmcondition FROM Systems_Current_Condition WHERE SyCC_SyI_Serialnumber='S1'")),
        3);
    EXPECT_EQ(window_.status, QString());
}

TEST_P(ScanPass, DisconnectDuringATurnFinishesItAndStops)
{
    SimUnit& first = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& second = AddTcpUnit(QStringLiteral("T1"));
    const auto disconnect =
        QObject::connect(&first.sim, &unitsim::UnitSimulator::CommandArrived, [this](quint8 command, int) {
            if (command == CmdReadStatus)
                flags_.StopRequested = true;
        });
    Pass();
    // The turn that saw the request ran to its end; no further unit was visited.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Current_Condition")), 20);
    EXPECT_EQ(second.Arrivals(CmdIdentify), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
    EXPECT_TRUE(window_.linkStates.empty());
    EXPECT_EQ(window_.restored, 1);
    EXPECT_TRUE(timers_.pingStopped);
    EXPECT_EQ(timers_.rearms, 0);
    EXPECT_FALSE(engine_->SystemsLoaded());
    EXPECT_EQ(ended_, 0);

    // A new run reads the units again and starts them offline; the serial port opens again.
    QObject::disconnect(disconnect);
    flags_.StopRequested = false;
    Pass();
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Online(QStringLiteral("T1")), 1);
}

TEST_P(ScanPass, ExitDuringATurnEndsTheProgramAfterTheStop)
{
    // Units run in serial-number order: S1, then T1.
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 2);
    AddTcpUnit(QStringLiteral("T1"));
    QObject::connect(&unit.sim, &unitsim::UnitSimulator::CommandArrived, [this](quint8 command, int) {
        if (command == CmdIdentify)
            flags_.ExitRequested = true;
    });
    Pass();
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(window_.restored, 0);
    EXPECT_EQ(units_[QStringLiteral("T1")]->Arrivals(CmdIdentify), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
}

INSTANTIATE_BOTH_DRIVERS(ScanPass);
