#pragma once

#include <unit/unit_settings.h>

class Database;

// A unit as it answered when it was added.
struct AddedUnit
{
    QString serialNumber;
    QString model;
    QString softwareVersion;
    QString hardwareVersion;
    int systemNumber = 1;
    int linkType = 1;
    QString linkAddress;
};

// Creates the unit's Systems_Info row, or lists its old one again, and gives it exactly one
// Sensors_Info row per sensor input and one Powermonitoring_Info row per voltage input of its
// model, then stores its settings. Rows that exist keep their log read positions; new ones start at
// 0, 0, 0. All or nothing.
bool WriteUnitRows(Database& db, const AddedUnit& unit, const UnitSettings& settings);

// Takes the unit off the list (SyI_Used = 0); its rows stay.
bool RemoveUnit(Database& db, const QString& serialNumber);
