#pragma once

#include "log_step.h"

#include <QString>

#include <vector>

// The record log of sensor n (1 to 20) of a unit: rows in Records, counters in Sensors_Info.
LogTarget SensorLogTarget(const QString& serial, int sensor, int sensorType, const LogCounters& counters);

// The unit's event log: rows in Events_1, counters in Systems_Info. EventSensorTypes, indexed by
// sensor number (element 0 unused), gives Event_SeI_Sensortype; it is read when rows are made, so
// it may be filled after the target is made, and must outlive its use.
LogTarget EventLogTarget(const QString& serial, const LogCounters& counters,
                         const std::vector<quint8>& EventSensorTypes);
