#include "scan_engine.h"

#include "rearm_interval.h"

#include <db/database.h>
#include <link/address_part.h>
#include <systems/systems_info.h>

ScanEngine::ScanEngine(Database& db, ScanFlags& flags, ScanWindow& window, ScanTimers& timers,
                       ProgramEnd endProgram, Clock clock)
    : db_(db), flags_(flags), window_(window), timers_(timers), endProgram_(std::move(endProgram)),
      clock_(std::move(clock))
{
}

void ScanEngine::ScanSystems()
{
    if (!systemsLoaded_)
        RunStart();
    const QDateTime passStart = clock_();
    for (int i = 0; i < int(runtime_.size()) && !flags_.ExitRequested && !flags_.StopRequested; ++i)
        Turn(i);
    if (flags_.ExitRequested || flags_.StopRequested)
        Stop();
    else
        Rearm(passStart);
}

void ScanEngine::RunStart()
{
    systemsLoaded_ = true;
    // A snapshot of the used units: rows are later written by key, so a row that a
    // terminal changes meanwhile cannot shift the units against their records.
    const std::vector<SystemInfo> units = LoadUsedSystems(db_).value_or(std::vector<SystemInfo>{});
    runtime_.assign(units.size(), SystemRuntimeRecord{});
    logBlocked_.assign(units.size(), false);
    qint16 serialElement = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const SystemInfo& u = units[i];
        SystemRuntimeRecord& r = runtime_[i];
        r.Serialnumber = u.serialNumber;
        if (u.commPort == 0) {
            r.LinkType = 0;
            r.Host = AddressPart(u.aux1, 0);
            r.TcpPort = AddressPart(u.aux1, 1).toInt();
        } else {
            const qsizetype dash = u.aux1.indexOf(QLatin1Char('-'));
            r.LinkType = 1;
            r.CommPort = qint16(u.aux1.left(dash).toInt());
            r.BaudRate = dash < 0 ? 0 : u.aux1.mid(dash + 1).toInt();
            r.CtlIndex = serialElement++;
        }
    }
    window_.ShowRunUnits(units);
}

void ScanEngine::Turn(int unit)
{
    EndOfTurn(unit);
}

void ScanEngine::EndOfTurn(int unit)
{
    const SystemRuntimeRecord& r = runtime_[unit];
    db_.exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=? WHERE SyI_Serialnumber=?"),
             {int(r.LinkState), r.Serialnumber});
    window_.ShowLinkState(unit, r.LinkState);
}

void ScanEngine::Rearm(const QDateTime& passStart)
{
    bool logPending = false;
    for (size_t k = 0; k < runtime_.size() && !logPending; ++k)
        logPending = !logBlocked_[k] && runtime_[k].LinkState == LinkOnline && runtime_[k].MoreLogPending;
    bool requestPending = false;
    if (!logPending) {
        const auto rows = db_.select(QStringLiteral(
            "SELECT TrmReq_Requestcompleted FROM Terminal_Requests WHERE TrmReq_Requestcompleted=0"));
        requestPending = rows && !rows->empty();
    }
    timers_.Rearm(RearmInterval(logPending, requestPending, passStart.secsTo(clock_())));
}

void ScanEngine::Stop()
{
    timers_.StopPing();
    db_.exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=0 WHERE SyI_Used=1"));
    runtime_.clear();
    logBlocked_.clear();
    window_.ClearOnlineColumn();
    systemsLoaded_ = false;
    if (flags_.ExitRequested) {
        endProgram_();
        return;
    }
    window_.RestoreIdle();
}
