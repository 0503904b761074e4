#include "scan_fixture.h"

#include <db/database.h>
#include <scan/request_step.h>

using unitsim::UnitMode;
using unitsim::UnitState;

namespace {

class TerminalRequests : public ScanFixture
{
};
} // namespace

TEST_P(TerminalRequests, EveryReplyCode)
{
    SimUnit& s1 = AddSerialUnit(QStringLiteral("S1"), 1);
    SimUnit& t1 = AddTcpUnit(QStringLiteral("T1"));
    SimUnit& m1 = AddTcpUnit(QStringLiteral("M1"));
    SimUnit& n1 = AddSerialUnit(QStringLiteral("N1"), 2);
    SimUnit& x1 = AddSerialUnit(QStringLiteral("X1"), 3);
    m1.SetMode(UnitMode::MenuBusy);
    n1.sim.RemoveHandler(CmdSetAlarmCondition);
    n1.sim.RemoveHandler(CmdSetSensorAlarm);
    Pass();
    // Units run in serial-number order: M1, N1, S1, T1, X1.
    ASSERT_EQ(Unit(0).Serialnumber, QStringLiteral("M1"));
    ASSERT_EQ(Unit(0).LinkState, LinkInMenu);
    x1.SetMode(UnitMode::Silent);
    // The unit has fewer sensors than its row says: it cannot take sensor 12.
    s1.model.Update([](UnitState& s) { s.identity.sensorCount = 8; });

    AddRequest(QStringLiteral("S1"), 1, QStringLiteral("1234;7"));                     // 1
    AddRequest(QStringLiteral("S1"), 2, QStringLiteral("1234;0"));                     // 1
    AddRequest(QStringLiteral("T1"), 3, QStringLiteral("1234;12;1"));                  // 1
    AddRequest(QStringLiteral("S1"), 1, QStringLiteral("4321;3"));                     // 2: wrong code
    AddRequest(QStringLiteral("NOPE"), 1, QStringLiteral("1234;1"));                   // 3: not in the run
    AddRequest(QStringLiteral("s1"), 1, QStringLiteral("1234;1"));                     // 3: letter case
    AddRequest(QVariant(QMetaType::fromType<QString>()), 1, QStringLiteral("1234;1")); // 3: null serial
    AddRequest(QStringLiteral("X1"), 2, QStringLiteral("1234;1"));                     // 3: silent
    AddRequest(QStringLiteral("N1"), 1, QStringLiteral("1234;1"));                 // 3: not supported, type 1
    AddRequest(QStringLiteral("M1"), 1, QStringLiteral("1234;1"));                 // 4
    AddRequest(QStringLiteral("N1"), 3, QStringLiteral("1234;1;1"));               // 5: not supported, type 3
    AddRequest(QStringLiteral("S1"), 3, QStringLiteral("1234;12;1"));              // 5: the unit answers 0x01
    AddRequest(QStringLiteral("S1"), 1, QStringLiteral("1234"));                   // 5: malformed
    AddRequest(QStringLiteral("S1"), 3, QVariant(QMetaType::fromType<QString>())); // 5: null attributes
    AddRequest(QStringLiteral("T1"), 3, QStringLiteral("1234;1.5;1"));             // 5: no whole number
    AddRequest(QStringLiteral("T1"), 1, QStringLiteral("1234;+3"));                // 5
    QStringList expected{"1/1", "1/1", "1/1", "2/1", "3/1", "3/1", "3/1", "3/1",
                         "3/1", "4/1", "5/1", "5/1", "5/1", "5/1", "5/1", "5/1"};
    // Not served (6); PostgreSQL's 16-bit column refuses or rounds the others.
    QVariantList types{4, 0, -1, 32767, QVariant(QMetaType::fromType<int>())};
    if (GetParam() == Database::Driver::SQLite)
        types << qlonglong(4294967298) << qlonglong(65538) << 1.5 << 2.9 << QStringLiteral("abc")
              << QStringLiteral("2x") << QByteArray("\x02", 1);
    for (const QVariant& type : types) {
        AddRequest(QStringLiteral("S1"), type, QStringLiteral("1234;1"));
        expected << QStringLiteral("6/1");
    }
    // The tenth row sent, the last the pass's five request steps take: the unit has no sensor 21.
    AddRequest(QStringLiteral("T1"), 3, QStringLiteral("1234;21;1"));
    expected << QStringLiteral("5/1");
    Pass();
    EXPECT_EQ(Replies(), expected);
    EXPECT_EQ(s1.model.State().relayB, 0);
    EXPECT_EQ(s1.model.State().alarmCondition, 7);
    EXPECT_EQ(t1.Arrivals(CmdSetSensorAlarm), 2);
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_RelayBcondition FROM Systems_Current_Condition WHERE "
                                   "SyCC_SyI_Serialnumber='S1'")),
              0);
    EXPECT_EQ(Count(QStringLiteral("SELECT SeCC_Alarmcondition FROM Sensors_Current_Condition WHERE "
                                   "SeCC_SyI_Serialnumber='T1' AND SeCC_Sensornumber=12")),
              1);
    // A request never changes the unit's state: the menu-busy unit stays as its own turn left it.
    EXPECT_EQ(Unit(0).LinkState, LinkInMenu);
    // Nothing was left pending, so the next pass is not hurried.
    EXPECT_GT(timers_.interval, 500);
}

TEST_P(TerminalRequests, ASensorBeyondTheModelsInputsIsSentAndTheUnitsAnswerDecides)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T2"), QStringLiteral("TELVARON-2"));
    Pass();
    RequestStep step(Db(), *link_);
    AddRequest(QStringLiteral("T2"), 3, QStringLiteral("1234;12;1"));
    ASSERT_TRUE(step.Run(engine_->RuntimeSystems())); // eight sensors: the unit answers 0x01
    unit.model.Update([](UnitState& s) { s.identity.sensorCount = 12; });
    AddRequest(QStringLiteral("T2"), 3, QStringLiteral("1234;12;1"));
    ASSERT_TRUE(step.Run(engine_->RuntimeSystems())); // a unit with sensor 12 answers 0xFF
    EXPECT_EQ(Replies(), (QStringList{"5/1", "1/1"}));
    EXPECT_EQ(unit.Arrivals(CmdSetSensorAlarm), 2);
    EXPECT_TRUE(unit.model.State().sensors[11].alarm);
    // Done without a condition row for that sensor: none is created.
    EXPECT_EQ(
        Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Current_Condition WHERE SeCC_Sensornumber=12")),
        0);
}

TEST_P(TerminalRequests, DoneRequestMirrorsItsValueUntilTheNextStatus)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"));
    unit.model.Update([](UnitState& s) { s.alarmCondition = 2; });
    Pass();
    // The condition field is written before the terminal sees its request completed; the unit's
    // own status in its turn then agrees with it.
    AddRequest(QStringLiteral("T1"), 1, QStringLiteral("1234;9"));
    ASSERT_TRUE(RequestStep(Db(), *link_).Run(engine_->RuntimeSystems()));
    EXPECT_EQ(Replies(), QStringList{"1/1"});
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition")), 9);
    unit.model.Update([](UnitState& s) { s.alarmCondition = 3; });
    Pass();
    EXPECT_EQ(Count(QStringLiteral("SELECT SyCC_Alarmcondition FROM Systems_Current_Condition")), 3);
}

TEST_P(TerminalRequests, TwoPerStepAndUnreachableRowsBeyondOneReadingDoNotCount)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"));
    Pass();
    QStringList expected;
    for (int i = 0; i < 2 * RequestStep::kBatchRows + 1; ++i) {
        AddRequest(i == 3 ? QStringLiteral("T1") : QStringLiteral("NOPE"), 2, QStringLiteral("1234;1"));
        expected << (i == 3 ? QStringLiteral("1/1") : QStringLiteral("3/1"));
    }
    for (int i = 0; i < 2; ++i)
        AddRequest(QStringLiteral("T1"), 1, QStringLiteral("1234;4"));
    expected << QStringLiteral("1/1") << QStringLiteral("0/0");
    EXPECT_EQ(TerminalRequestPending(Db()), true);
    RequestStep step(Db(), *link_);
    ASSERT_TRUE(step.Run(engine_->RuntimeSystems()));
    EXPECT_EQ(Replies(), expected);
    EXPECT_EQ(unit.Arrivals(CmdSetAlarmCondition), 1);
    EXPECT_EQ(TerminalRequestPending(Db()), true);
    ASSERT_TRUE(step.Run(engine_->RuntimeSystems()));
    EXPECT_EQ(Replies().last(), QStringLiteral("1/1"));
    EXPECT_EQ(TerminalRequestPending(Db()), false);
}

TEST_P(TerminalRequests, AttributesFarLongerThanAnyValidOneFailWithoutBeingReadWhole)
{
    SimUnit& unit = AddTcpUnit(QStringLiteral("T1"));
    Pass();
    // A database whose column takes longer texts than the 100 characters of this schema.
    if (GetParam() == Database::Driver::PostgreSQL) {
        ASSERT_TRUE(Db().Exec(
            QStringLiteral("ALTER TABLE Terminal_Requests ALTER COLUMN TrmReq_Attributes TYPE TEXT")));
    }
    const QString valid = QStringLiteral("1234;7");
    const QString megabyte = valid + QString(1 << 20, QLatin1Char('x'));
    const int huge = RequestStep::kBatchRows + 4;
    for (int i = 0; i < huge; ++i)
        AddRequest(QStringLiteral("T1"), 1, megabyte);
    AddRequest(QStringLiteral("T1"), 1, valid.leftJustified(256, QLatin1Char('x')));
    AddRequest(QStringLiteral("T1"), 1, valid.leftJustified(257, QLatin1Char('x')));

    const auto batch = ReadPendingRequests(Db(), QVariant());
    ASSERT_TRUE(batch);
    ASSERT_FALSE(batch->empty());
    EXPECT_LE(batch->size(), size_t(RequestStep::kBatchRows));
    for (const PendingRequest& row : *batch) {
        EXPECT_LE(row.attributes.size(), 256);
        EXPECT_EQ(row.attributesLength, megabyte.size());
    }

    ASSERT_TRUE(RequestStep(Db(), *link_).Run(engine_->RuntimeSystems()));
    EXPECT_EQ(Replies(), QStringList(huge, QStringLiteral("5/1"))
                             << QStringLiteral("1/1") << QStringLiteral("5/1"));
    EXPECT_EQ(unit.Arrivals(CmdSetAlarmCondition), 1);
    EXPECT_EQ(unit.model.State().alarmCondition, 7);
}

TEST_P(TerminalRequests, FirstPassAnswersEveryEarlierRowUnavailable)
{
    AddTcpUnit(QStringLiteral("T1"));
    AddTcpUnit(QStringLiteral("U1"));
    AddRequest(QStringLiteral("T1"), 1, QStringLiteral("1234;1"));
    AddRequest(QStringLiteral("U1"), 1, QStringLiteral("1234;1"));
    Pass();
    EXPECT_EQ(Replies(), (QStringList{"3/1", "3/1"}));
    EXPECT_EQ(Unit(0).LinkState, LinkOnline);
}

INSTANTIATE_BOTH_DRIVERS(TerminalRequests);
