#pragma once

#include <link/frame.h>
#include <link/link_result.h>

#include <QString>
#include <QVariant>

#include <optional>

// TrmReq_Requestreply values.
enum TrmReqReply : int {
    ReplyDone = 1,
    ReplyRefused = 2,
    ReplyUnavailable = 3,
    ReplyMenuBusy = 4,
    ReplyFailed = 5,
    ReplyNotServed = 6,
};

enum TrmReqType : int {
    RequestAlarmCondition = 1,
    RequestRelayB = 2,
    RequestSensorAlarm = 3,
};

// The command a terminal request asks for, ready for the transaction.
struct TerminalCommand
{
    int type = 0;
    RequestFrame frame{};
    int dataLength = 0;
    quint8 mirrorValue = 0; // the current-condition value on success
    int sensorNumber = 0;   // type 3 only
};

// Attributes longer than this are malformed: a valid one is a short code and one or two short
// fields, and the column is declared for 100 characters. Such a text is never read whole.
constexpr int kLongestAttributes = 256;

// The request type of a row, or nothing when the type is not served: null, text, a fraction
// or any whole number other than 1 to 3 (a larger one is never cut down to fit).
std::optional<int> ServedRequestType(const QVariant& type);

// Builds the command of a served type from TrmReq_Attributes ("code;value" or
// "code;sensor;switch"). Nothing when the attributes do not have that form: no ";", a type-1
// value that is no decimal digit, a type-3 sensor number that is empty, not a decimal number or
// outside 1..255. The access code is cut to 8 characters and sent as the unit judges it.
std::optional<TerminalCommand> BuildTerminalCommand(int type, const QString& attributes);

// The reply code for a transaction's outcome and the unit's answer byte.
TrmReqReply TerminalReply(int type, LinkResult result, quint8 answer);
