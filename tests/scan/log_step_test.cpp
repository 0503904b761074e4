#include "log_compare.h"
#include "scan_fixture.h"

#include <db/database.h>
#include <scan/log_step.h>
#include <scan/log_targets.h>

using unitsim::LogMemory;

namespace {
constexpr int kEventsPerPage = 48;
const QString kSerial = QStringLiteral("S1");

// LogStep on one log of a unit on a pseudo-terminal, its pointers read as the turn reads them.
class LogStepTest : public ScanFixture
{
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        if (HasFailure() || IsSkipped())
            return;
        unit_ = &AddSerialUnit(kSerial, 1);
        ASSERT_TRUE(link_->OpenSerialPort(0, 1));
        step_ = std::make_unique<LogStep>(Db(), [this](RequestFrame& q, ReplyBuffer& a, int length) {
            return link_->DeviceTransaction(q, a, length, true, 1, 0);
        });
    }

    std::array<LogPointer, kLogCount> Pointers()
    {
        RequestFrame request{CmdReadLogPointers};
        ReplyBuffer reply{};
        EXPECT_EQ(link_->DeviceTransaction(request, reply, 1, true, 1, 0), LinkOk);
        return ReadLogPointers(reply);
    }

    LogCounters Counters(const QString& sql, const QVariantList& key)
    {
        const QSqlRecord r = Db().Select(sql, key)->value(0);
        return {r.value(0).toInt(), qint16(r.value(1).toInt()), r.value(2).toInt()};
    }
    LogCounters SensorCounters(int sensor)
    {
        return Counters(
            QStringLiteral("SELECT SeI_RecordsTable_Lastpagesn, SeI_RecordsTable_Pagebyteswrit, "
                           "SeI_RecordsTable_LastrecSN FROM Sensors_Info WHERE SeI_Sensornumber=?"),
            {sensor});
    }
    LogCounters EventCounters()
    {
        return Counters(QStringLiteral("SELECT SyI_EventsTable_Lastpagesn, SyI_EventsTable_Pagebyteswritt, "
                                       "SyI_EventsTable_LastrecSN FROM Systems_Info"),
                        {});
    }

    LogStepResult Sensor(int sensor)
    {
        LogTarget target = SensorLogTarget(kSerial, sensor, 1, SensorCounters(sensor));
        return step_->Run(Pointers()[sensor - 1], target);
    }

    LogStepResult Events()
    {
        std::vector<quint8> types;
        LogTarget target = EventLogTarget(kSerial, EventCounters(), types);
        return step_->Run(Pointers()[kEventLogNumber], target, [&] {
            types.assign(21, 1);
            return true;
        });
    }

    // Steps until nothing is pending; the number of steps.
    int Drain(const std::function<LogStepResult()>& run)
    {
        for (int steps = 1; steps < 200; ++steps) {
            const LogStepResult r = run();
            EXPECT_EQ(r.outcome, LogStepOutcome::Done);
            if (!r.morePending || r.outcome != LogStepOutcome::Done)
                return steps;
        }
        ADD_FAILURE() << "still pending";
        return 0;
    }
    int DrainSensor(int sensor)
    {
        return Drain([&] { return Sensor(sensor); });
    }
    int DrainEvents()
    {
        return Drain([&] { return Events(); });
    }

    QStringList Samples(int sensor) { return StoredSamples(Db(), kSerial, sensor); }
    QStringList Written(int sensor, int from = 0, int firstNumber = 1)
    {
        auto all = unit_->logs.Samples(sensor);
        return ExpectedSamples({all.begin() + from, all.end()}, firstNumber);
    }
    QStringList StoredEventLines() { return StoredEvents(Db(), kSerial); }
    QStringList WrittenEvents(int from = 0, int firstNumber = 1)
    {
        auto all = unit_->logs.Events();
        return ExpectedEvents({all.begin() + from, all.end()}, 1, firstNumber);
    }

    SimUnit* unit_ = nullptr;
    std::unique_ptr<LogStep> step_;
};
} // namespace

TEST_P(LogStepTest, FreshLogIsTakenHalfAPageAtATime)
{
    unit_->logs.AppendSamples(1, 450);
    const LogStepResult first = Sensor(1);
    EXPECT_TRUE(first.morePending);
    EXPECT_EQ(SensorCounters(1), (LogCounters{0, 264, 100}));
    EXPECT_EQ(DrainSensor(1), 4);
    EXPECT_EQ(Samples(1), Written(1));
    // Page 2 holds 46 samples: 15 in block 0, 17 in block 1, 14 in block 2 up to its byte 37.
    EXPECT_EQ(SensorCounters(1), (LogCounters{2, 2 * 44 + 37, 450}));
    // Nothing new: nothing is sent.
    const int reads = unit_->Arrivals(CmdReadLogPage);
    EXPECT_FALSE(Sensor(1).newData);
    EXPECT_EQ(unit_->Arrivals(CmdReadLogPage), reads);
}

TEST_P(LogStepTest, PageEdgeAndContinuingReads)
{
    unit_->logs.AppendSamples(2, 202); // one full page: the unit has begun the next
    DrainSensor(2);
    EXPECT_EQ(SensorCounters(2), (LogCounters{0, 528, 202}));
    EXPECT_FALSE(Sensor(2).newData);
    unit_->logs.AppendSamples(2, 3);
    DrainSensor(2);
    EXPECT_EQ(SensorCounters(2), (LogCounters{1, 19, 205}));
    unit_->logs.AppendSamples(2, 150);
    DrainSensor(2);
    EXPECT_EQ(Samples(2), Written(2));
}

TEST_P(LogStepTest, EventRingWrapsWhileTheServerKeepsUp)
{
    unit_->logs.AppendEvents(10 * kEventsPerPage + 7);
    DrainEvents();
    unit_->logs.AppendEvents(10 * kEventsPerPage);
    DrainEvents();
    EXPECT_EQ(StoredEventLines(), WrittenEvents());
    EXPECT_EQ(EventCounters().LastRecSN, 20 * kEventsPerPage + 7);
}

TEST_P(LogStepTest, ResynchronisesAfterTheRingLappedAndAfterAClear)
{
    // Pages numbered across the 16-bit edge: 0xFFF0 to 0x10004, the last 16 of them left.
    unit_->logs.SetPointer(unitsim::kEventLog, {0, 0, 0, 0xFFF0});
    unit_->logs.AppendEvents(20 * kEventsPerPage + 5);
    DrainEvents();
    EXPECT_EQ(StoredEventLines(), WrittenEvents(5 * kEventsPerPage));

    unit_->logs.Clear();
    const int before = int(unit_->logs.Events().size());
    unit_->logs.AppendEvents(30);
    DrainEvents();
    EXPECT_EQ(StoredEventLines().mid(16 * kEventsPerPage - 48 + 5),
              WrittenEvents(before, 16 * kEventsPerPage - 48 + 5 + 1));
    EXPECT_EQ(EventCounters(), (LogCounters{0, 7 * 44 + 2 * 9 + 7, 16 * kEventsPerPage - 48 + 5 + 30}));
}

TEST_P(LogStepTest, StaleReadsStoreNothingAndAreTakenAgain)
{
    // A resynchronising read whose oldest slot is reused before it is read.
    unit_->logs.AppendEvents(16 * kEventsPerPage + 3);
    unit_->logs.BeforeNextPageRead([](LogMemory& m) { m.FillPage(unitsim::kEventLog); });
    LogStepResult r = Events();
    EXPECT_EQ(r.outcome, LogStepOutcome::Refused);
    EXPECT_TRUE(r.morePending);
    EXPECT_EQ(EventCounters(), (LogCounters{0, 0, 0}));
    EXPECT_TRUE(StoredEventLines().isEmpty());

    // A continuing read of a page whose slot was reused: its page number is not the one expected.
    DrainEvents();
    const LogCounters taken = EventCounters();
    const int first = int(unit_->logs.Events().size()) - taken.LastRecSN;
    // Pages 16 to 31 in the ring: the page after the one taken is the second oldest.
    for (int p = 0; p < 14; ++p)
        unit_->logs.FillPage(unitsim::kEventLog);
    unit_->logs.BeforeNextPageRead([](LogMemory& m) {
        m.FillPage(unitsim::kEventLog);
        m.FillPage(unitsim::kEventLog);
    });
    r = Events();
    EXPECT_EQ(r.outcome, LogStepOutcome::Refused);
    EXPECT_TRUE(r.morePending);
    EXPECT_EQ(EventCounters(), taken);

    // A second half of the oldest page, read after the unit moved on from it.
    DrainEvents();
    EXPECT_EQ(StoredEventLines().mid(0, taken.LastRecSN), WrittenEvents(first).mid(0, taken.LastRecSN));
    const int lapped = EventCounters().LastRecSN;
    unit_->logs.AppendEvents(15 * kEventsPerPage);
    Events(); // resynchronises to the oldest page, 33, and takes its first half
    const LogCounters firstHalf{33, 264, lapped + 24};
    ASSERT_EQ(EventCounters(), firstHalf);
    unit_->logs.BeforeNextPageRead([](LogMemory& m) { m.AppendEvents(kEventsPerPage); });
    r = Events();
    EXPECT_EQ(r.outcome, LogStepOutcome::Refused);
    EXPECT_TRUE(r.morePending);
    EXPECT_EQ(EventCounters(), firstHalf);
}

TEST_P(LogStepTest, BadBlocksAreReadTwiceThenTheirNeighboursStored)
{
    unit_->logs.AppendSamples(3, 100);
    unit_->logs.CorruptNextReads(1);
    const int reads = unit_->Arrivals(CmdReadLogPage);
    DrainSensor(3);
    EXPECT_EQ(unit_->Arrivals(CmdReadLogPage), reads + 2);
    EXPECT_EQ(Samples(3), Written(3));

    unit_->logs.AppendSamples(3, 102);
    unit_->logs.CorruptBlock(2, 0, 8); // second half of page 0, block 8
    const int before = unit_->Arrivals(CmdReadLogPage);
    DrainSensor(3);
    EXPECT_EQ(unit_->Arrivals(CmdReadLogPage), before + 2);
    std::vector<unitsim::WrittenSample> kept;
    for (const auto& s : unit_->logs.Samples(3)) {
        if (s.block != 8)
            kept.push_back(s);
    }
    EXPECT_EQ(Samples(3), ExpectedSamples(kept));
    EXPECT_EQ(SensorCounters(3), (LogCounters{0, 528, 202 - 17}));
}

TEST_P(LogStepTest, LinkFailuresStoreNothingAndTheNextTurnResumesThere)
{
    unit_->logs.AppendSamples(4, 300);
    Sensor(4);
    const LogCounters taken = SensorCounters(4);

    unit_->sim.SetFault(CmdReadLogPage, unit_->Arrivals(CmdReadLogPage) + 1,
                        unitsim::Fault::Status(StatusMenuBusy));
    LogStepResult r = Sensor(4);
    EXPECT_EQ(r.outcome, LogStepOutcome::LinkFailed);
    EXPECT_EQ(r.linkResult, LinkMenuBusy);
    unit_->sim.SetFault(CmdReadLogPage, unitsim::kEveryArrival, unitsim::Fault::Silence());
    r = Sensor(4);
    EXPECT_EQ(r.linkResult, LinkNoAnswer);
    EXPECT_EQ(SensorCounters(4), taken);
    unit_->sim.ClearFaults();
    DrainSensor(4);
    EXPECT_EQ(Samples(4), Written(4));
}

TEST_P(LogStepTest, DatabaseFailuresStoreNothingAndMoveNoCounter)
{
    unit_->logs.AppendSamples(5, 150);
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Records RENAME TO Records_Away")));
    EXPECT_EQ(Sensor(5).outcome, LogStepOutcome::DatabaseFailed);
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Records_Away RENAME TO Records")));
    EXPECT_EQ(SensorCounters(5), (LogCounters{0, 0, 0}));

    // Counters changed behind the step's back: its rows go with its counters.
    LogTarget target = SensorLogTarget(kSerial, 5, 1, LogCounters{0, 0, 0});
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_RecordsTable_LastrecSN=7 WHERE "
                                         "SeI_Sensornumber=5")));
    EXPECT_EQ(step_->Run(Pointers()[4], target).outcome, LogStepOutcome::CountersMoved);
    EXPECT_TRUE(Samples(5).isEmpty());
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_RecordsTable_LastrecSN=0 WHERE "
                                         "SeI_Sensornumber=5")));
    DrainSensor(5);
    EXPECT_EQ(Samples(5), Written(5));
}

INSTANTIATE_BOTH_DRIVERS(LogStepTest);
