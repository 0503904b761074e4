#pragma once

#include "link_result.h"

#include <QString>

// The reply to CmdIdentify (the command byte alone): who the unit is.
struct IdentifyReply
{
    QString softwareVersion;
    QString hardwareVersion;
    QString serialNumber;
    int systemNumber = 0;
};

// Versions, serial number and system number, each text bounded by its field.
IdentifyReply DecodeIdentifyReply(const ReplyBuffer& reply);
