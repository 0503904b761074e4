#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

class Database;

// The columns of one Systems_Info row that the server shows and links by.
struct SystemInfo
{
    QString serialNumber;
    QString model;
    QString softwareVersion;
    QString hardwareVersion;
    int commPort = 0; // LinkType: 0 over TCP, anything else a serial port
    QString aux1;     // LinkAddress
    QVariant locationNumber;
    QVariant systemName; // Null or empty when the unit has no name
};

// The used units (SyI_Used = 1) in the table's order; nothing when the table cannot be read.
std::optional<std::vector<SystemInfo>> LoadUsedSystems(Database& db);
