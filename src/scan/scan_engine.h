#pragma once

#include "request_step.h"
#include "scan_flags.h"
#include "scan_problems.h"
#include "scan_window.h"
#include "system_runtime_record.h"

#include <QDateTime>

#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

class Database;
class LogStep;
struct LogPointer;
struct LogTarget;
class UnitLink;

// Visits every used unit once per pass. The first pass of a run loads the used units and opens
// their serial ports; each turn serves terminal requests, identifies a unit that is not online
// and mirrors an online unit's status, event lists and logs; after a pass it either arms the next one or,
// when the window asked for it, stops the run.
class ScanEngine
{
public:
    using Clock = std::function<QDateTime()>;
    // Ends the program at once; the app hands in how.
    using EndProgram = std::function<void()>;

    ScanEngine(Database& db, UnitLink& link, ScanFlags& flags, ScanWindow& window, ScanTimers& timers,
               EndProgram endProgram, Clock clock = &QDateTime::currentDateTime);

    void ScanSystems();

    bool SystemsLoaded() const { return systemsLoaded_; }
    const std::vector<SystemRuntimeRecord>& RuntimeSystems() const { return runtime_; }
    // The used units counted at the run start; 0 while no run is on.
    int SystemCount() const { return int(runtime_.size()); }
    bool LogBlocked(int unit) const { return logBlocked_[unit]; }

private:
    // The window asked for the run to end: the pass ends at the next unit, or the next log.
    bool Stopping() const;
    void RunStart();
    void Turn(int unit);
    // The steps before the end of the turn; false ends the turn early. A database error skips
    // only the step that met it: the unit's other steps still run. Once the database is found
    // locked, the steps that store are left alone until a pass finds it free.
    bool Identify(SystemRuntimeRecord& unit);
    bool ReadStatus(int unit);
    bool MirrorEventLists(int unit);
    void ReadLogs(int unit);
    // One log of the unit's turn; false ends the turn.
    bool RunLog(
        int unit, LogStep& step, const LogPointer& pointer, LogTarget& target,
        const std::function<bool()>& prepare = [] { return true; });
    void LinkFailed(SystemRuntimeRecord& unit, LinkResult result);
    void EndOfTurn(int unit);
    void Rearm(const QDateTime& passStart);
    void Stop();
    // SyI_Online 0 for every used unit.
    void SetUnitsOffline();
    // Shows the database error on the status line until a pass goes by without one. A lock that
    // another connection held is waited on once a pass: on SQLite the whole file's, on PostgreSQL
    // that of table, the history table the failed step stored into (none: the step stores nowhere).
    void ReportDatabaseError(const QString& table = {});
    // Shows that a unit describes one of its logs in a way that cannot be read, while it does.
    void ReportLogPointers(int unit, int log);
    // Shows that a log's counters in the database were changed by another program under the step
    // that began at since, until a pass goes by without it.
    void ReportCountersMoved(int unit, int log, const QDateTime& since);

    Database& db_;
    UnitLink& link_;
    ScanFlags& flags_;
    ScanWindow& window_;
    ScanTimers& timers_;
    EndProgram endProgram_;
    Clock clock_;
    RequestStep requests_;

    ScanProblems problems_;

    bool systemsLoaded_ = false;
    // The request table failed in this pass: the later turns of the pass leave it alone.
    bool requestsFailed_ = false;
    // Another connection holds the SQLite file locked: every write would wait out the busy time
    // in turn. Until a pass finds it free, the units are read and nothing is stored, so no log
    // page is taken that could not be stored.
    bool databaseLocked_ = false;
    // The history tables that another PostgreSQL session held while this pass waited to store
    // into them: the other logs that store there wait for the next pass, which tries once again.
    std::set<QString> heldTables_;
    std::vector<SystemRuntimeRecord> runtime_;
    std::vector<bool> logBlocked_;
    // Page reads refused in a row, per unit and log.
    std::map<std::pair<QString, int>, int> refusals_;
};
