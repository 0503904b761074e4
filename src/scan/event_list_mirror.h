#pragma once

#include <QString>

#include <span>

class DbSession;

// A unit's current events: per sensor a list of at most two slots (13-byte entries of the
// sensor event reply), and one power list of two slots (the 12-byte power event reply). A list
// fills from slot 1: a slot 2 without a slot 1 is not stored.
constexpr int kSensorEventEntrySize = 13;
constexpr int kSensorEventEntries = 20;

// The slots present in a list header: 0, 1 or 2.
int PresentEventSlots(quint8 header);

// Sensors_Events: the present slots of sensor's entry written in full, the rows of later slots
// deleted, all or nothing, so a terminal never sees half a list. storedSlots is the highest slot
// the table holds for the sensor (the delete is left out when no later slot is stored). False on
// a database error.
bool MirrorSensorEvents(DbSession& db, const QString& serial, int sensor, std::span<const quint8> entry,
                        int storedSlots = 2);

// Powermonitoring_Events, the same for the unit's power list.
bool MirrorPowerEvents(DbSession& db, const QString& serial, std::span<const quint8> PowerEventsReply);
