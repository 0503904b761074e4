#include "request_step.h"

#include "terminal_command.h"
#include "unit_exchange.h"

#include <db/database.h>
#include <link/unit_link.h>

namespace {
const SystemRuntimeRecord* FindUnit(const std::vector<SystemRuntimeRecord>& units, const QVariant& serial)
{
    if (serial.isNull())
        return nullptr;
    const QString s = serial.toString();
    for (const SystemRuntimeRecord& r : units) {
        if (r.Serialnumber == s)
            return &r;
    }
    return nullptr;
}

// The current-condition field that a done request has changed on the unit.
bool MirrorDone(DbSession& db, const TerminalCommand& c, const QString& serial)
{
    if (c.type == RequestSensorAlarm)
        return db
            .Exec(QStringLiteral("UPDATE Sensors_Current_Condition SET SeCC_Alarmcondition=? "
                                 "WHERE SeCC_SyI_Serialnumber=? AND SeCC_Sensornumber=?"),
                  {int(c.mirrorValue), serial, c.sensorNumber})
            .has_value();
    const QString field = c.type == RequestAlarmCondition ? QStringLiteral("SyCC_Alarmcondition")
                                                          : QStringLiteral("SyCC_RelayBcondition");
    return db
        .Exec(QStringLiteral("UPDATE Systems_Current_Condition SET %1=? WHERE SyCC_SyI_Serialnumber=?")
                  .arg(field),
              {int(c.mirrorValue), serial})
        .has_value();
}
} // namespace

std::optional<bool> TerminalRequestPending(Database& db)
{
    const auto rows = db.Select(
        QStringLiteral("SELECT TrmReq_ID FROM Terminal_Requests WHERE TrmReq_Requestcompleted=0 LIMIT 1"));
    if (!rows)
        return std::nullopt;
    return !rows->empty();
}

std::optional<std::vector<PendingRequest>> ReadPendingRequests(Database& db, const QVariant& after)
{
    const QString sql =
        QStringLiteral("SELECT TrmReq_ID, TrmReq_SyI_Serialnumber, TrmReq_Requesttype, "
                       "substr(TrmReq_Attributes, 1, %1), length(TrmReq_Attributes) FROM "
                       "Terminal_Requests WHERE TrmReq_Requestcompleted=0%2 ORDER BY TrmReq_ID LIMIT %3")
            .arg(kLongestAttributes)
            .arg(after.isNull() ? QString() : QStringLiteral(" AND TrmReq_ID>?"))
            .arg(RequestStep::kBatchRows);
    const auto rows = after.isNull() ? db.Select(sql) : db.Select(sql, {after});
    if (!rows)
        return std::nullopt;
    std::vector<PendingRequest> out;
    out.reserve(rows->size());
    for (const QSqlRecord& r : *rows)
        out.push_back({r.value(0), r.value(1), r.value(2), r.value(3).toString(), r.value(4).toLongLong()});
    return out;
}

bool RequestStep::Run(const std::vector<SystemRuntimeRecord>& units)
{
    int budget = kBudget;
    QVariant after;
    while (budget > 0) {
        // Each batch is read in full before any unit is asked: no query stays open while a
        // transaction waits.
        const auto rows = ReadPendingRequests(db_, after);
        if (!rows)
            return false;
        for (const PendingRequest& row : *rows) {
            if (budget == 0)
                break;
            after = row.id;
            const SystemRuntimeRecord* unit = FindUnit(units, row.serial);
            const std::optional<int> type = ServedRequestType(row.type);
            const std::optional<TerminalCommand> command =
                unit && type && row.attributesLength <= kLongestAttributes
                    ? BuildTerminalCommand(*type, row.attributes)
                    : std::nullopt;
            const int immediate = !unit || unit->LinkState == LinkOffline ? ReplyUnavailable
                                  : !type                                 ? ReplyNotServed
                                  : !command                              ? ReplyFailed
                                                                          : 0;
            if (immediate != 0) {
                if (!Answer(db_, row.id, immediate))
                    return false;
                continue;
            }
            if (!Execute(*unit, *command, row.id))
                return false;
            --budget;
        }
        if (rows->size() < size_t(kBatchRows))
            break;
    }
    return true;
}

bool RequestStep::Execute(const SystemRuntimeRecord& unit, TerminalCommand command, const QVariant& id)
{
    ConnectUnit(link_, unit);
    ReplyBuffer reply{};
    const LinkResult result = ExchangeWithUnit(link_, unit, command.frame, reply, command.dataLength);
    const TrmReqReply code = TerminalReply(command.type, result, reply[0]);
    // The condition row changes before the terminal can see its request completed.
    const bool ok = db_.Transaction([code, command, serial = unit.Serialnumber, id](DbSession& session) {
        return (code != ReplyDone || MirrorDone(session, command, serial)) && Answer(session, id, code);
    });
    CloseUnit(link_, unit);
    return ok;
}

bool RequestStep::Answer(DbSession& db, const QVariant& id, int reply)
{
    return db
        .Exec(QStringLiteral("UPDATE Terminal_Requests SET TrmReq_Requestreply=?, TrmReq_Requestcompleted=1 "
                             "WHERE TrmReq_ID=?"),
              {reply, id})
        .has_value();
}
