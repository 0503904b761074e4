#pragma once

#include <QString>

#include <span>

class DbSession;

// The live tables that mirror a unit's status reply. Each gives false on a database error,
// with the error in db.LastError().

// Systems_Faults: a row for every fault bit set, none for a bit clear; rows of other faults
// are left alone.
bool MirrorFaults(DbSession& db, const QString& serial, std::span<const quint8> reply);

// Systems_Current_Condition, and Sensors_Current_Condition and Powermonitoring_Current_Condit
// for the used sensors 1..sensorInputs and voltage inputs 1..powerInputs: rows are created
// when missing and overwritten otherwise, never deleted.
bool MirrorConditions(DbSession& db, const QString& serial, std::span<const quint8> reply, int sensorInputs,
                      int powerInputs);

// Both, in one transaction, so terminals never see half a status.
bool MirrorStatus(DbSession& db, const QString& serial, std::span<const quint8> reply, int sensorInputs,
                  int powerInputs);
