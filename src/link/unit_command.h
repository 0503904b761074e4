#pragma once

#include <QtGlobal>

// Command codes of the unit protocol: the first byte of every request. The codes that have a
// reply length but that the server never sends keep their number for a name.
enum UnitCommand : quint8 {
    CmdReadSensorConfig = 1,
    CmdReadPowerConfig = 2,
    CmdReadLogPage = 3,
    Cmd04 = 4,
    Cmd05 = 5,
    CmdSetRelayB = 6,
    CmdIdentify = 7,
    Cmd08 = 8,
    CmdSetAlarmCondition = 9,
    CmdReadProgrammingStatus = 10,
    CmdBeginSettingsUpload = 11,
    Cmd12 = 12,
    Cmd13 = 13,
    CmdReadModel = 14,
    CmdReadSensorTypes = 15,
    Cmd16 = 16,
    Cmd17 = 17,
    Cmd18 = 18,
    CmdCommitSettings = 19,
    CmdReadSettingsBlock = 20,
    CmdReadStatus = 21,
    CmdReadSensorEvents = 22,
    CmdReadPowerEvents = 23,
    CmdReadLogPointers = 24,
    CmdReadLogPointer = 25,
    CmdSetSensorAlarm = 32,
};
