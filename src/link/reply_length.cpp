#include "reply_length.h"

#include <array>

namespace {
// Indexed by command code; 0 marks a code that is not in the protocol.
constexpr std::array<quint16, 33> kReplyLengths = {
    0,   // 0
    101, // 1 CmdReadSensorConfig
    28,  // 2 CmdReadPowerConfig
    265, // 3 CmdReadLogPage: half a 528-byte page and the check byte
    16,  // 4
    2,   // 5
    2,   // 6 CmdSetRelayB
    34,  // 7 CmdIdentify
    10,  // 8
    2,   // 9 CmdSetAlarmCondition
    16,  // 10 CmdReadProgrammingStatus
    2,   // 11 CmdBeginSettingsUpload
    11,  // 12
    4,   // 13
    33,  // 14 CmdReadModel
    21,  // 15 CmdReadSensorTypes
    20,  // 16
    40,  // 17
    11,  // 18
    2,   // 19 CmdCommitSettings
    258, // 20 CmdReadSettingsBlock
    76,  // 21 CmdReadStatus
    261, // 22 CmdReadSensorEvents
    12,  // 23 CmdReadPowerEvents
    211, // 24 CmdReadLogPointers
    11,  // 25 CmdReadLogPointer
    0,   // 26
    0,   // 27
    0,   // 28
    0,   // 29
    0,   // 30
    0,   // 31
    2,   // 32 CmdSetSensorAlarm
};
} // namespace

int ReplyLength(quint8 command)
{
    return command < kReplyLengths.size() ? kReplyLengths[command] : 0;
}
