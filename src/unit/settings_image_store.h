#pragma once

#include "unit_settings.h"

class DbSession;

// Writes what the database keeps of a unit's settings into the unit's existing rows: system number
// and name in Systems_Info; type, name, limits and in-use flag in each Sensors_Info row; the
// monitored voltage inputs in Powermonitoring_Info (input 1 always). All or nothing; joins a
// transaction that runs. The log read positions are left alone.
bool StoreSettingsImageData(DbSession& db, const QString& serialNumber, const UnitSettings& settings);
