#include "reply_length.h"

#include <algorithm>
#include <array>

namespace {
struct CommandReplyLength
{
    UnitCommand command;
    quint16 length;
};

constexpr auto ReplyLengthTable = std::to_array<CommandReplyLength>({
    {CmdReadSensorConfig, 101},
    {CmdReadPowerConfig, 28},
    {CmdReadLogPage, 265}, // half a 528-byte page and the check byte
    {Cmd04, 16},
    {Cmd05, 2},
    {CmdSetRelayB, 2},
    {CmdIdentify, 34},
    {Cmd08, 10},
    {CmdSetAlarmCondition, 2},
    {CmdReadProgrammingStatus, 16},
    {CmdBeginSettingsUpload, 2},
    {Cmd12, 11},
    {Cmd13, 4},
    {CmdReadModel, 33},
    {CmdReadSensorTypes, 21},
    {Cmd16, 20},
    {Cmd17, 40},
    {Cmd18, 11},
    {CmdCommitSettings, 2},
    {CmdReadSettingsBlock, 258},
    {CmdReadStatus, 76},
    {CmdReadSensorEvents, 261},
    {CmdReadPowerEvents, 12},
    {CmdReadLogPointers, 211},
    {CmdReadLogPointer, 11},
    {CmdSetSensorAlarm, 2},
});
} // namespace

int ReplyLength(quint8 command)
{
    const auto entry = std::find_if(ReplyLengthTable.begin(), ReplyLengthTable.end(),
                                    [command](const CommandReplyLength& e) { return e.command == command; });
    return entry != ReplyLengthTable.end() ? entry->length : 0;
}
