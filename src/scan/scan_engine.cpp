#include "scan_engine.h"

#include "log_pointers.h"
#include "rearm_interval.h"
#include "unit_exchange.h"

#include <db/database.h>
#include <db/lock_wait.h>
#include <link/event_wait.h>
#include <link/unit_link.h>
#include <unit/settings_image_layout.h>
#include <unit/systems_info.h>
#include <unit/unit_address.h>

namespace {
// A log as the operator knows it: the sensors from 1, the event log by its name.
QString LogName(int log)
{
    return log == kEventLogNumber ? QStringLiteral("της καταγραφής συμβάντων")
                                  : QStringLiteral("της καταγραφής του αισθητήρα %1").arg(log + 1);
}
} // namespace

ScanEngine::ScanEngine(Database& db, UnitLink& link, ScanFlags& flags, ScanWindow& window, ScanTimers& timers,
                       EndProgram endProgram, Clock clock)
    : db_(db), link_(link), flags_(flags), window_(window), timers_(timers),
      endProgram_(std::move(endProgram)), clock_(std::move(clock)), requests_(db, link), problems_(window)
{
}

bool ScanEngine::Stopping() const
{
    return flags_.ExitRequested || flags_.StopRequested;
}

void ScanEngine::ScanSystems()
{
    // Nothing of a pass could be stored over a lost connection: it is made again first.
    if (!Stopping() && db_.ConnectionLost() && !db_.Reconnect())
        ReportDatabaseError();
    if (!systemsLoaded_)
        RunStart();
    requestsFailed_ = false;
    heldTables_.clear();
    // A locked database is tried once a pass, with a write that stores nothing.
    if (databaseLocked_ && !Stopping()) {
        databaseLocked_ = false;
        if (!db_.Transaction([](DbSession& s) { return s.Exec(QStringLiteral("SELECT 1")).has_value(); }))
            ReportDatabaseError();
    }
    const QDateTime passStart = clock_();
    for (int i = 0; i < SystemCount() && !Stopping(); ++i)
        Turn(i);
    if (Stopping()) {
        Stop();
        return;
    }
    Rearm(passStart);
    problems_.EndPass();
}

void ScanEngine::RunStart()
{
    // A snapshot of the used units: rows are later written by key, so a row that a
    // terminal changes meanwhile cannot shift the units against their records.
    const auto loaded = LoadUsedSystems(db_);
    if (!loaded) {
        // The run starts at a later pass, once the units can be read; the grid keeps them.
        ReportDatabaseError();
        return;
    }
    systemsLoaded_ = true;
    const std::vector<SystemInfo>& units = *loaded;
    runtime_.assign(units.size(), SystemRuntimeRecord{});
    logBlocked_.assign(units.size(), false);
    qint16 serialElement = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const SystemInfo& u = units[i];
        SystemRuntimeRecord& r = runtime_[i];
        r.Serialnumber = u.serialNumber;
        const ModelInputs inputs = LayoutFor(ModelKindOf(u.model)).inputs;
        r.sensorInputs = inputs.sensors;
        r.powerInputs = inputs.voltageInputs;
        const ListedAddress listed(u);
        if (listed.tcp) {
            r.LinkType = 0;
            // Read as the systems list reads it: every number decimal. Handed as written to the
            // resolver, "0x7f.0.0.010" or "127.1" would reach another host.
            if (const auto address = listed.Address()) {
                r.Host = address->host;
                r.TcpPort = address->tcpPort;
            } else {
                r.portTrouble = QStringLiteral("Η διεύθυνση «%1» του συστήματος %2 δεν είναι έγκυρη")
                                    .arg(listed.Line(), u.serialNumber);
            }
        } else {
            r.LinkType = 1;
            r.CommPort = qint16(listed.PortNumber());
            r.BaudRate = listed.SpeedNumber();
            r.CtlIndex = serialElement++;
            // A port that does not open, or an address without a port number, leaves the
            // element closed: the unit's transactions fail and it stays offline.
            if (r.CommPort > 0)
                link_.OpenSerialPort(r.CtlIndex, r.CommPort);
        }
    }
    window_.ShowRunUnits(units);
}

void ScanEngine::EndOfTurn(int unit)
{
    const SystemRuntimeRecord& r = runtime_[unit];
    CloseUnit(link_, r);
    // Also in the turns the unit rests: its port is not tried then, and is still known to fail.
    if (!r.portTrouble.isEmpty())
        problems_.Raise(QStringLiteral("port %1").arg(r.Serialnumber), r.portTrouble);
    if (!databaseLocked_ &&
        !db_.Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=? WHERE SyI_Serialnumber=?"),
                  {int(r.LinkState), r.Serialnumber}))
        ReportDatabaseError();
    window_.ShowLinkState(unit, r.LinkState);
    PumpEventsOnce();
}

void ScanEngine::Rearm(const QDateTime& passStart)
{
    // Logs and requests whose rows could not be stored now do not hurry the next pass.
    bool logPending = false;
    for (int k = 0; k < SystemCount() && !logPending && !databaseLocked_; ++k)
        logPending = !logBlocked_[k] && runtime_[k].LinkState == LinkOnline && runtime_[k].MoreLogPending;
    bool requestPending = false;
    if (!logPending && !requestsFailed_ && !databaseLocked_) {
        const std::optional<bool> pending = TerminalRequestPending(db_);
        if (!pending)
            ReportDatabaseError();
        requestPending = pending.value_or(false);
    }
    timers_.Rearm(RearmInterval(logPending, requestPending, passStart.secsTo(clock_())));
}

void ScanEngine::Stop()
{
    timers_.StopPing();
    SetUnitsOffline();
    link_.CloseAll();
    runtime_.clear();
    logBlocked_.clear();
    refusals_.clear();
    problems_.Clear();
    window_.ClearOnlineColumn();
    systemsLoaded_ = false;
    if (flags_.ExitRequested) {
        endProgram_();
        return;
    }
    window_.RestoreIdle();
}

void ScanEngine::SetUnitsOffline()
{
    const auto offline = [this] {
        return db_.Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=0 WHERE SyI_Used=1")).has_value();
    };
    // A connection lost under the run (a database server that restarted) is made again once, or the
    // terminals would see the units online after the end; each call keeps to its bound, so the
    // stop does too.
    bool done = !db_.ConnectionLost() && offline();
    if (!done && db_.ConnectionLost())
        done = db_.Reconnect() && offline();
    if (!done)
        ReportDatabaseError();
}

void ScanEngine::ReportLogPointers(int unit, int log)
{
    const QString& serial = runtime_[unit].Serialnumber;
    problems_.Raise(QStringLiteral("log %1 %2").arg(serial).arg(log),
                    QStringLiteral("Μη έγκυροι δείκτες %1 του συστήματος %2").arg(LogName(log), serial));
}

void ScanEngine::ReportCountersMoved(int unit, int log, const QDateTime& since)
{
    const QString& serial = runtime_[unit].Serialnumber;
    problems_.Follow(QStringLiteral("counters %1 %2").arg(serial).arg(log),
                     QStringLiteral("Οι μετρητές %1 του συστήματος %2 άλλαξαν στη βάση δεδομένων από άλλο "
                                    "πρόγραμμα")
                         .arg(LogName(log), serial),
                     since);
}

void ScanEngine::ReportDatabaseError(const QString& table)
{
    // The status line gives each trouble one line of its own, and the cause of now: a server
    // that restarts, then refuses, then does not answer is one trouble with three causes. A
    // trouble began when the call that met it did, a bound before a time-out is known.
    const DbError& error = db_.LastError();
    if (LockWaitRanOut(db_.DriverInUse(), error)) {
        if (db_.DriverInUse() == Database::Driver::SQLite)
            databaseLocked_ = true;
        else if (!table.isEmpty())
            heldTables_.insert(table);
    }
    problems_.Follow(QStringLiteral("database"),
                     QStringLiteral("Σφάλμα βάσης δεδομένων: %1").arg(error.description.simplified()),
                     clock_().addMSecs(-db_.LastErrorTook().count()));
}
