#include "terminal_command.h"

#include <link/unit_command.h>
#include <link/zstring.h>

#include <algorithm>

namespace {
constexpr int kCodeChars = 8;
constexpr int kCodeFieldStart = 1;
constexpr int kValueByte = 10;
constexpr int kSwitchByte = 11;
constexpr int kHighestSensorNumber = 255;
constexpr quint8 kAnswerDone = 0xFF;
constexpr quint8 kAnswerRefused = 0x00;

bool IsDecimal(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// "0" switches off; any other character, or none, switches on.
bool SwitchOn(const QString& attributes, qsizetype at)
{
    return at >= attributes.size() || attributes.at(at) != QLatin1Char('0');
}
} // namespace

std::optional<int> ServedRequestType(const QVariant& type)
{
    if (type.isNull())
        return std::nullopt;
    qlonglong value = 0;
    switch (type.typeId()) {
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::LongLong:
        value = type.toLongLong();
        break;
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        value = qlonglong(std::min<qulonglong>(type.toULongLong(), RequestSensorAlarm + 1));
        break;
    default:
        return std::nullopt;
    }
    if (value < RequestAlarmCondition || value > RequestSensorAlarm)
        return std::nullopt;
    return int(value);
}

std::optional<TerminalCommand> BuildTerminalCommand(int type, const QString& attributes)
{
    const qsizetype first = attributes.indexOf(QLatin1Char(';'));
    if (first < 0)
        return std::nullopt;
    TerminalCommand c;
    c.type = type;
    WriteZString(std::span<quint8>(c.frame).subspan(kCodeFieldStart, kCodeChars + 1), 0,
                 attributes.left(std::min<qsizetype>(first, kCodeChars)));
    switch (type) {
    case RequestAlarmCondition: {
        const QString value = attributes.mid(first + 1, 1);
        if (!IsDecimal(value))
            return std::nullopt;
        c.frame[0] = CmdSetAlarmCondition;
        c.mirrorValue = quint8(value.toInt());
        c.frame[kValueByte] = c.mirrorValue;
        c.dataLength = 11;
        return c;
    }
    case RequestRelayB: {
        const bool on = SwitchOn(attributes, first + 1);
        c.frame[0] = CmdSetRelayB;
        c.frame[kValueByte] = on ? 0xFF : 0x00;
        c.mirrorValue = on ? 1 : 0;
        c.dataLength = 11;
        return c;
    }
    case RequestSensorAlarm: {
        const qsizetype second = attributes.indexOf(QLatin1Char(';'), first + 1);
        const QString number = attributes.mid(first + 1, second - first - 1);
        if (second < 0 || !IsDecimal(number))
            return std::nullopt;
        // Whether the unit has that sensor is the unit's to answer.
        const int n = number.toInt();
        if (n < 1 || n > kHighestSensorNumber)
            return std::nullopt;
        const bool on = SwitchOn(attributes, second + 1);
        c.frame[0] = CmdSetSensorAlarm;
        c.frame[kValueByte] = quint8(n - 1);
        c.frame[kSwitchByte] = on ? 0x01 : 0x00;
        c.mirrorValue = on ? 1 : 0;
        c.sensorNumber = n;
        c.dataLength = 12;
        return c;
    }
    default:
        return std::nullopt;
    }
}

TrmReqReply TerminalReply(int type, LinkResult result, quint8 answer)
{
    switch (result) {
    case LinkOk:
        return answer == kAnswerDone ? ReplyDone : answer == kAnswerRefused ? ReplyRefused : ReplyFailed;
    case LinkMenuBusy:
        return ReplyMenuBusy;
    case LinkNotSupported:
        return type == RequestSensorAlarm ? ReplyFailed : ReplyUnavailable;
    default:
        return ReplyUnavailable;
    }
}
