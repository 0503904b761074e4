#pragma once

#include <link/link_result.h>

#include <QString>

// CmdIdentify: the command byte alone; the unit answers with who it is.
constexpr quint8 CmdIdentify = 7;

struct IdentifyReply
{
    QString softwareVersion;
    QString hardwareVersion;
    QString serialNumber;
    int systemNumber = 0;
};

// Versions, serial number and system number, each text bounded by its field.
IdentifyReply DecodeIdentifyReply(const ReplyBuffer& reply);
