// The event lists and the logs of an online unit's turn.
#include "event_list_mirror.h"
#include "log_step.h"
#include "log_targets.h"
#include "scan_engine.h"
#include "unit_exchange.h"

#include <db/database.h>
#include <link/event_wait.h>
#include <link/unit_command.h>

#include <map>

namespace {
constexpr int kPowerEventsLength = 12;
constexpr int kRefusalsReported = 3;

LogCounters CountersOf(const QSqlRecord& row, int first)
{
    return {row.value(first).toInt(), qint16(row.value(first + 1).toInt()), row.value(first + 2).toInt()};
}
} // namespace

bool ScanEngine::MirrorEventLists(int unit)
{
    if (databaseLocked_)
        return true;
    SystemRuntimeRecord& r = runtime_[unit];
    const QVariantList serial{r.Serialnumber};
    const auto each = db_.SelectEach(
        {{QStringLiteral(
              "SELECT SeI_Sensornumber FROM Sensors_Info WHERE SeI_SyI_Serialnumber=? AND SeI_Used=1"),
          serial},
         {QStringLiteral("SELECT PmI_Powernumber FROM Powermonitoring_Info WHERE PmI_SyI_Serialnumber=? AND "
                         "PmI_Used=1"),
          serial},
         // Most lists stay empty from pass to pass: a list's stale slots are deleted only when stored.
         {QStringLiteral("SELECT SeE_Sensornumber, MAX(SeE_Eventnumber) FROM Sensors_Events WHERE "
                         "SeE_SyI_Serialnumber=? GROUP BY SeE_Sensornumber"),
          serial}});
    if (!each) {
        ReportDatabaseError();
        return true;
    }
    const QList<QSqlRecord>& sensors = each->at(0);
    const QList<QSqlRecord>& inputs = each->at(1);
    const QList<QSqlRecord>& stored = each->at(2);
    // Sensor numbers beyond the unit's inputs have no entry of their own.
    std::vector<int> used;
    for (const QSqlRecord& row : sensors) {
        const int n = row.value(0).toInt();
        if (n >= 1 && n <= std::min(r.sensorInputs, kSensorEventEntries))
            used.push_back(n);
    }
    ReplyBuffer reply{};
    if (!used.empty()) {
        RequestFrame request{CmdReadSensorEvents};
        if (const LinkResult result = ExchangeWithUnit(link_, r, request, reply, 1); result != LinkOk) {
            LinkFailed(r, result);
            return false;
        }
        std::map<int, int> storedSlots;
        for (const QSqlRecord& row : stored)
            storedSlots[row.value(0).toInt()] = row.value(1).toInt();
        if (!db_.Transaction([serial = r.Serialnumber, used, storedSlots, reply](DbSession& session) {
                const auto entries = std::span<const quint8>(reply);
                for (const int n : used) {
                    const auto held = storedSlots.find(n);
                    if (!MirrorSensorEvents(session, serial, n,
                                            entries.subspan(std::size_t(kSensorEventEntrySize * (n - 1)),
                                                            kSensorEventEntrySize),
                                            held == storedSlots.end() ? 0 : held->second))
                        return false;
                }
                return true;
            }))
            ReportDatabaseError();
    }
    if (!inputs.empty() && !databaseLocked_) {
        RequestFrame request{CmdReadPowerEvents};
        if (const LinkResult result = ExchangeWithUnit(link_, r, request, reply, 1); result != LinkOk) {
            LinkFailed(r, result);
            return false;
        }
        if (!MirrorPowerEvents(db_, r.Serialnumber, std::span<const quint8>(reply).first(kPowerEventsLength)))
            ReportDatabaseError();
    }
    return true;
}

void ScanEngine::ReadLogs(int unit)
{
    if (databaseLocked_)
        return;
    SystemRuntimeRecord& r = runtime_[unit];
    RequestFrame request{CmdReadLogPointers};
    ReplyBuffer reply{};
    if (const LinkResult result = ExchangeWithUnit(link_, r, request, reply, 1); result != LinkOk) {
        LinkFailed(r, result);
        return;
    }
    const auto pointers = ReadLogPointers(reply);
    r.MoreLogPending = false;
    LogStep step(db_, [this, &r](RequestFrame& q, ReplyBuffer& a, int length) {
        return ExchangeWithUnit(link_, r, q, a, length);
    });

    const auto sensors = db_.Select(
        QStringLiteral("SELECT SeI_Sensornumber, SeI_Sensortype, SeI_RecordsTable_Lastpagesn, "
                       "SeI_RecordsTable_Pagebyteswrit, SeI_RecordsTable_LastrecSN FROM Sensors_Info WHERE "
                       "SeI_SyI_Serialnumber=? AND SeI_Used=1 ORDER BY SeI_Sensornumber"),
        {r.Serialnumber});
    if (!sensors)
        ReportDatabaseError();
    for (const QSqlRecord& row : sensors.value_or(QList<QSqlRecord>{})) {
        const int n = row.value(0).toInt();
        if (n < 1 || n > r.sensorInputs)
            continue;
        LogTarget target = SensorLogTarget(r.Serialnumber, n, row.value(1).toInt(), CountersOf(row, 2));
        if (!RunLog(unit, step, pointers[n - 1], target))
            return;
    }

    const auto counters =
        db_.Select(QStringLiteral("SELECT SyI_EventsTable_Lastpagesn, "
                                  "SyI_EventsTable_Pagebyteswritt, SyI_EventsTable_LastrecSN "
                                  "FROM Systems_Info WHERE SyI_Serialnumber=?"),
                   {r.Serialnumber});
    if (!counters || counters->empty()) {
        ReportDatabaseError();
        return;
    }
    std::vector<quint8> EventSensorTypes;
    LogTarget target = EventLogTarget(r.Serialnumber, CountersOf(counters->front(), 0), EventSensorTypes);
    RunLog(unit, step, pointers[kEventLogNumber], target, [&] {
        // Every sensor's type, used or not; numbers beyond the unit's inputs have no place.
        EventSensorTypes.assign(std::size_t(r.sensorInputs) + 1, 0);
        const auto types =
            db_.Select(QStringLiteral("SELECT SeI_Sensornumber, SeI_Sensortype FROM Sensors_Info "
                                      "WHERE SeI_SyI_Serialnumber=?"),
                       {r.Serialnumber});
        for (const QSqlRecord& row : types.value_or(QList<QSqlRecord>{})) {
            const int n = row.value(0).toInt();
            if (n >= 1 && n <= r.sensorInputs)
                EventSensorTypes[std::size_t(n)] = quint8(row.value(1).toInt());
        }
        return types.has_value();
    });
}

bool ScanEngine::RunLog(int unit, LogStep& step, const LogPointer& pointer, LogTarget& target,
                        const std::function<bool()>& prepare)
{
    SystemRuntimeRecord& r = runtime_[unit];
    // A log step may wait out a lock: a stop asked for meanwhile is not held up by the next one.
    if (Stopping())
        return false;
    if (heldTables_.contains(target.historyTable))
        return true;
    // The step begins once its log holds something to take.
    QDateTime began;
    const LogStepResult result = step.Run(pointer, target, [&] {
        began = clock_();
        return prepare();
    });
    switch (result.outcome) {
    case LogStepOutcome::LinkFailed:
        LinkFailed(r, result.linkResult);
        return false;
    case LogStepOutcome::DatabaseFailed:
        ReportDatabaseError(target.historyTable);
        return !databaseLocked_;
    case LogStepOutcome::CountersMoved:
        // Nothing was stored; the next pass goes on from the counters as they are then.
        ReportCountersMoved(unit, target.logNumber, began);
        return true;
    case LogStepOutcome::PointersInvalid:
        ReportLogPointers(unit, target.logNumber);
        return true;
    case LogStepOutcome::Refused:
        // A unit that moved on between its pointers and the page is read afresh in the next
        // pass, half a second later, however often it happens; a page that keeps not matching
        // is a log the unit describes wrongly, which the operator is told about.
        if (++refusals_[{r.Serialnumber, target.logNumber}] >= kRefusalsReported)
            ReportLogPointers(unit, target.logNumber);
        break;
    case LogStepOutcome::Done:
        refusals_.erase({r.Serialnumber, target.logNumber});
        break;
    }
    r.MoreLogPending = r.MoreLogPending || result.morePending;
    if (result.newData)
        PumpEventsOnce();
    return true;
}
