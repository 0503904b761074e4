#include "held_tcp_port.h"
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
};
} // namespace

TEST_P(ScanPass, BringsSerialAndTcpUnitsOnlineAndMirrorsTheirStatus)
{
    AddSerialUnit(QStringLiteral("S1"), 3);
    AddTcpUnit(QStringLiteral("T1"), QStringLiteral("TELVARON-2"));
    Pass();
    EXPECT_EQ(window_.shownUnits, 2);
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(Online(QStringLiteral("T1")), 1);
    EXPECT_EQ(window_.linkStates, (std::map<int, int>{{0, 1}, {1, 1}}));
    EXPECT_EQ(Unit(0).LinkType, 1);
    EXPECT_EQ(Unit(1).LinkType, 0);
    // Condition rows for the inputs of each unit's model.
    EXPECT_EQ(
        Rows(Db(), QStringLiteral("SELECT SeCC_SyI_Serialnumber, COUNT(*) FROM Sensors_Current_Condition "
                                  "GROUP BY SeCC_SyI_Serialnumber ORDER BY SeCC_SyI_Serialnumber")),
        (QStringList{"S1 20", "T1 8"}));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Powermonitoring_Current_Condit")), 6);
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

TEST_P(ScanPass, LostForeignAndBusyUnitsRestOrAreAskedAgain)
{
    // Units run in serial-number order: F1 answers with another serial number, L1 goes silent
    // after the first pass, M1 is busy in its menu in passes 2 and 3.
    SimUnit& foreign = AddTcpUnit(QStringLiteral("F1"));
    SimUnit& lost = AddSerialUnit(QStringLiteral("L1"), 1);
    SimUnit& busy = AddSerialUnit(QStringLiteral("M1"), 2);
    foreign.SetMode(UnitMode::ForeignSerial);
    busy.model.Update([](UnitState& s) { s.sensors[2].fault = true; });
    // Per pass and unit: link state, SyI_Online, the state shown, and identifications so far.
    const QStringList expected[] = {{"000:1", "111:1", "111:1"},
                                    {"000:1", "000:1", "222:1"},
                                    {"000:1", "000:1", "222:2"},
                                    {"000:2", "111:2", "111:3"}};
    for (int pass = 0; pass < 4; ++pass) {
        if (pass == 1) {
            lost.SetMode(UnitMode::Silent);
            busy.SetMode(UnitMode::MenuBusy);
        } else if (pass == 2) {
            lost.SetMode(UnitMode::Normal);
            lost.model.Update([](UnitState& s) { s.alarmCondition = 6; });
        } else if (pass == 3) {
            busy.SetMode(UnitMode::Normal);
        }
        Pass();
        QStringList states;
        for (int i = 0; i < 3; ++i)
            states << QStringLiteral("%1%2%3:%4")
                          .arg(Unit(i).LinkState)
                          .arg(Online(Unit(i).Serialnumber))
                          .arg(window_.linkStates[i])
                          .arg(units_[Unit(i).Serialnumber]->Arrivals(CmdIdentify));
        EXPECT_EQ(states, expected[pass]) << pass;
        // The rows of units away keep their last values.
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Current_Condition")), 40) << pass;
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults")), 1) << pass;
    }
    EXPECT_EQ(foreign.Arrivals(CmdReadStatus), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition WHERE "
                                   "SyCC_SyI_Serialnumber='L1'")),
              6);
}

TEST_P(ScanPass, EachAddressThatDoesNotOpenIsNamedUntilItOpens)
{
    // A serial address without a port number has no port to name; a TCP address that is not read
    // is named for the whole run; a port that does not open is named with its reason until it opens.
    const QString model = QStringLiteral("TELVARON-1");
    ASSERT_TRUE(AddUnitRows(Db(), QStringLiteral("BAD1"), 1, QStringLiteral("x-115200"), model));
    ASSERT_TRUE(AddUnitRows(Db(), QStringLiteral("BAD2"), 0, QStringLiteral("127.0.0.1-115200"), model));
    QStringList denied{QStringLiteral("Η διεύθυνση «:127.0.0.1» του συστήματος BAD2 δεν είναι έγκυρη")};
    if (geteuid() != 0) { // root opens any device
        QFile device(dir_.filePath(QStringLiteral("com6")));
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        device.close();
        ASSERT_TRUE(device.setPermissions(QFile::Permissions()));
        ASSERT_TRUE(AddUnitRows(Db(), QStringLiteral("BAD3"), 1, QStringLiteral("6-115200"), model));
        denied << QStringLiteral("Η θύρα COM6 (%1) δεν ανοίγει: Permission denied").arg(device.fileName());
    }
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 5);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    AddSerialUnit(QStringLiteral("U1"), 7);
    // Nobody listens on the unit's port until it serves there; held meanwhile, the port is not
    // handed to a listener of another test, nor is a connection of another test let in.
    const HeldTcpPort held;
    const quint16 tcpPort = held.Port();
    ASSERT_NE(tcpPort, 0);
    // A stored address with leading zeros is read in decimal.
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Aux1=? WHERE SyI_Serialnumber='T1'"),
                          {QStringLiteral("0127.000.000.001:%1-115200").arg(tcpPort)}));
    serial.sim.Stop(); // its device is gone
    tcp.sim.Stop();
    const QString serialLine = QStringLiteral("Η θύρα COM5 (%1) δεν ανοίγει: No such file or directory")
                                   .arg(dir_.filePath(QStringLiteral("com5")));
    const QString tcpLine =
        QStringLiteral("Η σύνδεση με 127.0.0.1:%1 απέτυχε: Connection refused").arg(tcpPort);
    const auto shown = [&](const QStringList& lines) { return (denied + lines).join(QLatin1Char('\n')); };

    Pass();
    EXPECT_EQ(window_.status, shown({serialLine, tcpLine}));
    const auto reports = window_.problems.size();
    // Resting, they are not tried, and their lines stand without a gap.
    Pass();
    EXPECT_EQ(window_.status, shown({serialLine, tcpLine}));
    EXPECT_EQ(window_.problems.size(), reports);

    ASSERT_TRUE(serial.sim.ServePty(dir_.filePath(QStringLiteral("com5"))));
    Pass();
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
    EXPECT_EQ(window_.status, shown({tcpLine}));

    ASSERT_TRUE(tcp.sim.ServeTcp(tcpPort));
    Pass(); // the TCP unit rests after its failure in the pass before
    EXPECT_EQ(window_.status, shown({tcpLine}));
    Pass();
    EXPECT_EQ(window_.status, shown({}));
    for (const char* unit : {"BAD1", "BAD2", "BAD3"}) // no row: -1
        EXPECT_LE(Online(QString::fromLatin1(unit)), 0) << unit;
    for (const char* unit : {"S1", "T1", "U1"})
        EXPECT_EQ(Online(QString::fromLatin1(unit)), 1) << unit;
}

// A stored address is read as the systems list reads it, every number decimal. Any other text
// reaches no host at all, keeps its unit offline and is named for as long as the run lasts.
TEST_P(ScanPass, AnAddressReadOtherwiseThanDecimalReachesNoHost)
{
    const struct
    {
        const char* serial;
        const char* host;
        bool reaches;
    } cases[] = {
        {"A1", "0x7f.0.0.1", false},
        {"A2", "127.1", false},
        {"A3", "0x7f.0.0.010", false},
        {"A4", "127.000.000.001", true},
    };
    // Each unit's port is held at 127.0.0.1 and listened on nowhere: a connection that any reading
    // of an address makes is refused, and named so.
    std::vector<std::unique_ptr<HeldTcpPort>> ports;
    QStringList named;
    for (const auto& c : cases) {
        const quint16 port = ports.emplace_back(std::make_unique<HeldTcpPort>())->Port();
        ASSERT_NE(port, 0);
        const QString line = QStringLiteral("%1:%2").arg(QLatin1String(c.host)).arg(port);
        ASSERT_TRUE(AddUnitRows(Db(), QLatin1String(c.serial), 0, line + QStringLiteral("-115200"),
                                QStringLiteral("TELVARON-1")));
        named << (c.reaches
                      ? QStringLiteral("Η σύνδεση με 127.0.0.1:%1 απέτυχε: Connection refused").arg(port)
                      : QStringLiteral("Η διεύθυνση «%1» του συστήματος %2 δεν είναι έγκυρη")
                            .arg(line, QLatin1String(c.serial)));
    }
    for (int pass = 1; pass <= 3; ++pass) {
        Pass();
        EXPECT_EQ(window_.status.toStdString(), named.join(QLatin1Char('\n')).toStdString()) << pass;
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].host);
        EXPECT_EQ(Online(QLatin1String(cases[i].serial)), 0);
        EXPECT_EQ(Unit(int(i)).LinkState, LinkOffline);
    }
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

TEST_P(ScanPass, AnEventListThatCannotBeStoredLeavesTheLogsOfTheTurnToGoOn)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.events.SetSensor(1, {unitsim::EventSlot{}});
    unit.events.SetPower({unitsim::EventSlot{}});
    for (const char* table : {"Sensors_Events", "Powermonitoring_Events"}) {
        SCOPED_TRACE(table);
        ASSERT_TRUE(Db().Exec(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(table))));
        ASSERT_TRUE(RefuseRows(Db(), QString::fromLatin1(table), QStringLiteral("INSERT")));
        for (int n = 1; n <= 20; ++n)
            unit.logs.AppendSamples(n, 4);
        unit.logs.AppendEvents(3);
        Pass();
        EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")))
            << window_.status.toStdString();
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(table))), 0);
        // The sensor logs and the event log were read and stored in the same turn.
        ExpectLogsMirrored(QStringLiteral("S1"), 20);
        EXPECT_EQ(Online(QStringLiteral("S1")), 1);
        ASSERT_TRUE(RefuseRows(Db(), QString::fromLatin1(table), std::nullopt));
    }
}

TEST_P(ScanPass, AnEventListThatCannotBeReadLeavesTheLogsOfTheTurnToGoOn)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.events.SetSensor(1, {unitsim::EventSlot{}});
    for (int n = 1; n <= 20; ++n)
        unit.logs.AppendSamples(n, 4);
    unit.logs.AppendEvents(3);
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Sensors_Events RENAME TO Events_Away")));
    Pass();
    EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων")))
        << window_.status.toStdString();
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    EXPECT_EQ(Online(QStringLiteral("S1")), 1);
}

// Another program moves a log's counters while the unit's page is read, and the clock moves on
// meanwhile: the line names what happened, from when the step began, and the next pass goes on
// from the counters as they are then.
TEST_P(ScanPass, ALogWhoseCountersMovedUnderItsStepIsNamedFromTheStepsStart)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.logs.AppendSamples(3, 5);
    unit.logs.AppendSamples(5, 4);
    unit.logs.AppendEvents(3);
    bool move = true;
    QObject::connect(&unit.sim, &unitsim::UnitSimulator::CommandArrived, [&](quint8 command, int) {
        if (command != CmdReadLogPage || !move)
            return;
        move = false;
        now_ = now_.addSecs(3600);
        EXPECT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_RecordsTable_LastrecSN=7 WHERE "
                                             "SeI_SyI_Serialnumber='S1' AND SeI_Sensornumber=3")));
    });
    Pass();
    EXPECT_EQ(window_.status,
              QStringLiteral("Οι μετρητές της καταγραφής του αισθητήρα 3 του συστήματος S1 "
                             "άλλαξαν στη βάση δεδομένων από άλλο πρόγραμμα (από τις 12:00:00)"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records WHERE Rec_SeI_Sensornumber=3")), 0);
    // The unit's other logs are read in the same pass.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records WHERE Rec_SeI_Sensornumber=5")), 4);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Events_1")), 3);

    Pass();
    EXPECT_EQ(window_.status, QString());
    EXPECT_EQ(Rows(Db(), QStringLiteral("SELECT MIN(Rec_SensRecSN), MAX(Rec_SensRecSN) FROM Records WHERE "
                                        "Rec_SeI_Sensornumber=3")),
              QStringList{QStringLiteral("8 12")});
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

// A terminal locks the SQLite file in the middle of a log download, for longer than the busy time:
// each pass waits on the lock once and still reads every unit; afterwards every row is stored once.
TEST_P(ScanPass, ALockHeldOverSeveralPassesIsWaitedOnOncePerPass)
{
    if (GetParam() != Database::Driver::SQLite)
        GTEST_SKIP() << "a lock on one PostgreSQL table leaves the others free";
    constexpr qint64 kBusyMs = 500;
    ASSERT_TRUE(Db().OpenSqlite(TestDb().SqliteFile(), std::chrono::milliseconds(kBusyMs)));
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
    unitsim::PrefillLogs(tcp.logs, 20, 120, 30, 1);
    Pass();
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    bool lock = true;
    QObject::connect(&serial.sim, &unitsim::UnitSimulator::CommandArrived, [&](quint8 command, int) {
        if (command == CmdReadLogPage && lock)
            lock = !terminal.Exec(QStringLiteral("BEGIN EXCLUSIVE"));
    });
    const auto statusReads = [&] {
        return std::pair(serial.Arrivals(CmdReadStatus), tcp.Arrivals(CmdReadStatus));
    };
    for (int pass = 1; pass <= 4; ++pass) {
        const auto before = statusReads();
        QElapsedTimer took;
        took.start();
        Pass();
        ASSERT_LT(took.elapsed(), 2 * kBusyMs) << pass;
        EXPECT_EQ(statusReads(), std::pair(before.first + 1, before.second + 1)) << pass;
        EXPECT_TRUE(window_.status.startsWith(QStringLiteral("Σφάλμα βάσης δεδομένων"))) << pass;
    }
    ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
    PassUntilSettled();
    EXPECT_EQ(window_.status, QString());
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    ExpectLogsMirrored(QStringLiteral("T1"), 20);
}

// An administrator holds a PostgreSQL history table over several passes (VACUUM FULL, CLUSTER and
// a long ALTER take such a lock): each pass waits on it once, the units' state and the other
// history table are stored in every pass, an exit is not held by the logs left, and afterwards
// every record is stored once.
TEST_P(ScanPass, ALockHeldOnAHistoryTableIsWaitedOnOncePerPass)
{
    if (GetParam() != Database::Driver::PostgreSQL)
        GTEST_SKIP() << "SQLite locks the whole file";
    constexpr qint64 kLockMs = 500;
    ASSERT_TRUE(Db().Exec(QStringLiteral("SET lock_timeout=%1").arg(kLockMs)));
    SimUnit& serial = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& tcp = AddTcpUnit(QStringLiteral("T1"));
    unitsim::PrefillLogs(serial.logs, 20, 230, 70, 5);
    unitsim::PrefillLogs(tcp.logs, 20, 120, 30, 1);
    Pass();
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    // Should the test end early, the lock goes with its holder after a while.
    ASSERT_TRUE(terminal.Exec(QStringLiteral("SET idle_in_transaction_session_timeout=60000")));
    const auto hold = [&](const QString& table) {
        return terminal.Exec(QStringLiteral("BEGIN")) &&
               terminal.Exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
    };
    const auto alarms = [&] {
        return Rows(Db(), QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition ORDER BY "
                                         "SyCC_SyI_Serialnumber"));
    };
    // Both units log on several sensors and events between passes.
    const auto logMore = [&] {
        for (SimUnit* unit : {&serial, &tcp}) {
            for (int sensor = 1; sensor <= 4; ++sensor)
                unit->logs.AppendSamples(sensor, 3);
            unit->logs.AppendEvents(2);
        }
    };
    const QStringList tables{QStringLiteral("Records"), QStringLiteral("Events_1")};
    for (int t = 0; t < 2; ++t) {
        SCOPED_TRACE(tables[t].toStdString());
        ASSERT_TRUE(hold(tables[t]));
        for (int pass = 1; pass <= 3; ++pass) {
            const int alarm = pass % 2 == 0 ? 8 : 3;
            serial.model.Update([&](UnitState& s) { s.alarmCondition = quint8(alarm); });
            tcp.model.Update([&](UnitState& s) { s.alarmCondition = quint8(alarm); });
            const QString other = QStringLiteral("SELECT COUNT(*) FROM %1").arg(tables[1 - t]);
            const int stored = Count(other);
            logMore();
            QElapsedTimer took;
            took.start();
            Pass();
            ASSERT_LT(took.elapsed(), 2 * kLockMs) << pass;
            EXPECT_EQ(alarms(), QStringList(2, QString::number(alarm))) << pass;
            EXPECT_GT(Count(other), stored) << pass;
            EXPECT_TRUE(window_.status.contains(QStringLiteral("lock timeout"))) << pass;
        }
        ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
    }

    // A statement whose own time runs out first meets the same lock: a new cause of the same
    // trouble, which the status line follows.
    ASSERT_TRUE(hold(tables[0]));
    ASSERT_TRUE(Db().Exec(QStringLiteral("SET lock_timeout=0")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("SET statement_timeout=%1").arg(kLockMs)));
    logMore();
    QElapsedTimer took;
    took.start();
    Pass();
    EXPECT_LT(took.elapsed(), 2 * kLockMs);
    EXPECT_TRUE(window_.status.contains(QStringLiteral("statement timeout"))) << window_.status.toStdString();

    // An exit asked for while a log step waits ends the run after that step.
    bool exitAsked = false;
    int pagesAfter = 0;
    const auto asking =
        QObject::connect(&serial.sim, &unitsim::UnitSimulator::CommandArrived, [&](quint8 command, int) {
            if (command != CmdReadLogPage)
                return;
            pagesAfter += exitAsked ? 1 : 0;
            exitAsked = flags_.ExitRequested = true;
        });
    const int tcpStatus = tcp.Arrivals(CmdReadStatus);
    logMore();
    took.restart();
    Pass();
    EXPECT_LT(took.elapsed(), 2 * kLockMs);
    EXPECT_EQ(pagesAfter, 0);
    EXPECT_EQ(tcp.Arrivals(CmdReadStatus), tcpStatus);
    EXPECT_EQ(ended_, 1);

    QObject::disconnect(asking);
    flags_.ExitRequested = false;
    ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
    // The run that follows meets no trouble.
    window_.problems.clear();
    PassUntilSettled();
    EXPECT_EQ(window_.problems, QStringList());
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    ExpectLogsMirrored(QStringLiteral("T1"), 20);
}

// A trigger that stores a history table's rows elsewhere (the usual way to split a large one)
// reports no row inserted: the step is judged by its counters, and the backlog still hurries.
TEST_P(ScanPass, RowsThatATriggerStoresElsewhereAreStoredNotMoved)
{
    if (GetParam() != Database::Driver::PostgreSQL)
        GTEST_SKIP() << "the SQLite store counts only the counters it moved";
    ASSERT_TRUE(Db().Exec(QStringLiteral("CREATE TABLE Records_Recent (LIKE Records)")));
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("CREATE FUNCTION route_records() RETURNS trigger LANGUAGE plpgsql AS "
                                 "$$BEGIN INSERT INTO Records_Recent VALUES (NEW.*); RETURN NULL; END$$")));
    ASSERT_TRUE(Db().Exec(QStringLiteral(
        "CREATE TRIGGER route BEFORE INSERT ON Records FOR EACH ROW EXECUTE FUNCTION route_records()")));
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unit.logs.AppendSamples(3, 120);
    Pass();
    EXPECT_EQ(window_.status, QString());
    EXPECT_EQ(timers_.interval, 500);
    PassUntilSettled();
    EXPECT_EQ(window_.status, QString());
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), 0);
    EXPECT_EQ(Rows(Db(), QStringLiteral("SELECT COUNT(DISTINCT Rec_SensRecSN), MIN(Rec_SensRecSN), "
                                        "MAX(Rec_SensRecSN), COUNT(*) FROM Records_Recent")),
              QStringList{QStringLiteral("120 1 120 120")});
    EXPECT_EQ(
        Count(QStringLiteral("SELECT SeI_RecordsTable_LastrecSN FROM Sensors_Info WHERE SeI_Sensornumber=3")),
        120);
}

TEST_P(ScanPass, DisconnectOrExitDuringATurnFinishesItAndStops)
{
    // Units run in serial-number order: S1, then T1.
    SimUnit& first = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& second = AddTcpUnit(QStringLiteral("T1"));
    bool* request = nullptr;
    QObject::connect(&first.sim, &unitsim::UnitSimulator::CommandArrived, [&](quint8 command, int) {
        if (command == CmdReadStatus && request)
            *request = true;
    });
    for (const bool exit : {false, true}) {
        SCOPED_TRACE(exit ? "exit" : "disconnect");
        request = exit ? &flags_.ExitRequested : &flags_.StopRequested;
        timers_.pingStopped = false;
        const int logsRead = first.Arrivals(CmdReadLogPointers), rearms = timers_.rearms;
        const int visited = second.Arrivals(CmdIdentify) + second.Arrivals(CmdReadStatus);
        Pass();
        // The turn that saw the request ran to its end; no further unit was visited.
        EXPECT_EQ(first.Arrivals(CmdReadLogPointers), logsRead + 1);
        EXPECT_EQ(second.Arrivals(CmdIdentify) + second.Arrivals(CmdReadStatus), visited);
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
        EXPECT_TRUE(window_.linkStates.empty());
        EXPECT_EQ(std::pair(ended_, window_.restored), std::pair(exit ? 1 : 0, 1));
        EXPECT_TRUE(timers_.pingStopped);
        EXPECT_EQ(timers_.rearms, rearms);
        EXPECT_FALSE(engine_->SystemsLoaded());

        // A new run reads the units again and starts them offline; the serial port opens again.
        request = nullptr;
        flags_.StopRequested = flags_.ExitRequested = false;
        Pass();
        EXPECT_EQ(Online(QStringLiteral("S1")), 1);
        EXPECT_EQ(Online(QStringLiteral("T1")), 1);
    }
}

INSTANTIATE_BOTH_DRIVERS(ScanPass);
