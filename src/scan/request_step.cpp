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
bool MirrorDone(Database& db, const TerminalCommand& c, const QString& serial)
{
    if (c.type == RequestSensorAlarm)
        return db
            .exec(QStringLiteral("UPDATE Sensors_Current_Condition SET SeCC_Alarmcondition=? "
                                 "WHERE SeCC_SyI_Serialnumber=? AND SeCC_Sensornumber=?"),
                  {int(c.mirrorValue), serial, c.sensorNumber})
            .has_value();
    const QString field = c.type == RequestAlarmCondition ? QStringLiteral("SyCC_Alarmcondition")
                                                          : QStringLiteral("SyCC_RelayBcondition");
    return db
        .exec(QStringLiteral("UPDATE Systems_Current_Condition SET %1=? WHERE SyCC_SyI_Serialnumber=?")
                  .arg(field),
              {int(c.mirrorValue), serial})
        .has_value();
}
} // namespace

bool RequestStep::Run(const std::vector<SystemRuntimeRecord>& units)
{
    // Read in full before any unit is asked: no query stays open while a transaction waits.
    const auto rows = db_.select(QStringLiteral(
        "SELECT TrmReq_ID, TrmReq_SyI_Serialnumber, TrmReq_Requesttype, TrmReq_Attributes FROM "
        "Terminal_Requests WHERE TrmReq_Requestcompleted=0 ORDER BY TrmReq_ID"));
    if (!rows)
        return false;
    int budget = kBudget;
    for (const QSqlRecord& row : *rows) {
        if (budget == 0)
            break;
        const QVariant id = row.value(0);
        const SystemRuntimeRecord* unit = FindUnit(units, row.value(1));
        const std::optional<int> type = ServedRequestType(row.value(2));
        const std::optional<TerminalCommand> command =
            unit && type ? BuildTerminalCommand(*type, row.value(3).toString(), unit->SensorInputs)
                         : std::nullopt;
        const int immediate = !unit || unit->LinkState == LinkOffline ? ReplyUnavailable
                              : !type                                 ? ReplyNotServed
                              : !command                              ? ReplyFailed
                                                                      : 0;
        if (immediate != 0) {
            if (!Answer(id, immediate))
                return false;
            continue;
        }
        if (!Execute(*unit, *command, id))
            return false;
        --budget;
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
    const bool ok = db_.transaction([&] {
        return (code != ReplyDone || MirrorDone(db_, command, unit.Serialnumber)) && Answer(id, code);
    });
    CloseUnit(link_, unit);
    return ok;
}

bool RequestStep::Answer(const QVariant& id, int reply)
{
    return db_
        .exec(QStringLiteral("UPDATE Terminal_Requests SET TrmReq_Requestreply=?, TrmReq_Requestcompleted=1 "
                             "WHERE TrmReq_ID=?"),
              {reply, id})
        .has_value();
}
