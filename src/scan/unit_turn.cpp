// The turn of one unit within a pass.
#include "scan_engine.h"
#include "status_mirror.h"
#include "status_reply.h"
#include "unit_exchange.h"

#include <db/database.h>
#include <link/identify_reply.h>
#include <link/unit_command.h>

namespace {
constexpr qint16 kBackoffLost = 1;
constexpr qint16 kBackoffForeign = 2;
} // namespace

void ScanEngine::Turn(int unit)
{
    SystemRuntimeRecord& r = runtime_[unit];
    // A request table that fails (renamed, locked, no rights) would fail the same way in every
    // turn of the pass; it is tried again in the next pass, and the units are served meanwhile.
    if (!requestsFailed_ && !databaseLocked_ && !requests_.Run(runtime_)) {
        requestsFailed_ = true;
        ReportDatabaseError();
    }
    if ((r.LinkState == LinkOnline || Identify(r)) && ReadStatus(unit) && MirrorEventLists(unit) &&
        !logBlocked_[unit])
        ReadLogs(unit);
    EndOfTurn(unit);
}

bool ScanEngine::Identify(SystemRuntimeRecord& unit)
{
    if (unit.BackoffRounds > 0) {
        --unit.BackoffRounds;
        return false;
    }
    // A TCP address that reads as no host: nothing to send to, and its trouble, set when the run
    // started, stands for the whole run.
    if (unit.LinkType == 0 && unit.Host.isEmpty())
        return false;
    unit.portTrouble = ConnectUnit(link_, unit);
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    const LinkResult result = ExchangeWithUnit(link_, unit, request, reply, 1);
    if (result == LinkOk) {
        if (DecodeIdentifyReply(reply).serialNumber == unit.Serialnumber) {
            CloseUnit(link_, unit);
            unit.LinkState = LinkOnline;
            return true;
        }
        unit.BackoffRounds = kBackoffForeign;
    } else if (result == LinkMenuBusy) {
        unit.LinkState = LinkInMenu;
    } else {
        unit.BackoffRounds = kBackoffLost;
    }
    return false;
}

bool ScanEngine::ReadStatus(int unit)
{
    SystemRuntimeRecord& r = runtime_[unit];
    logBlocked_[unit] = false;
    r.portTrouble = ConnectUnit(link_, r);
    RequestFrame request{CmdReadStatus};
    ReplyBuffer reply{};
    const LinkResult result = ExchangeWithUnit(link_, r, request, reply, 1);
    if (result != LinkOk) {
        LinkFailed(r, result);
        return false;
    }
    const auto status = std::span<const quint8>(reply).first(kStatusReplyLength);
    logBlocked_[unit] = StatusLogBlocked(status);
    if (!databaseLocked_ && !MirrorStatus(db_, r.Serialnumber, status, r.sensorInputs, r.powerInputs))
        ReportDatabaseError();
    return true;
}

void ScanEngine::LinkFailed(SystemRuntimeRecord& unit, LinkResult result)
{
    if (result == LinkMenuBusy) {
        unit.LinkState = LinkInMenu;
        return;
    }
    unit.LinkState = LinkOffline;
    unit.BackoffRounds = kBackoffLost;
}
