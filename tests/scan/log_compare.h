#pragma once

#include <log_memory.h>

#include <QString>
#include <QStringList>

#include <QVariantList>

#include <optional>
#include <vector>

class Database;

// A used unit's Systems_Info row, with its Sensors_Info and Powermonitoring_Info rows for every
// input of its model, all used.
bool AddUnitRows(Database& db, const QString& serial, int commPort, const QString& aux1,
                 const QString& model);

// Makes the database refuse every `event` (INSERT, DELETE) on the rows of table for which `when`
// holds (NEW or OLD row), as a table that a terminal's program changed would; nullopt lifts it.
bool RefuseRows(Database& db, const QString& table, const std::optional<QString>& event,
                const QString& when = QStringLiteral("true"));

// Every row of a query as a line of its fields: Null reads "-", a column named ...datetime its
// wall-clock time to the minute, a real number its shortest decimal.
QStringList Rows(Database& db, const QString& sql, const QVariantList& values = {});

// History rows and what a simulated unit wrote, both as lines "number time value ..." so that a
// difference shows row by row. Null fields read "-".

// Records of one sensor, in running-number order.
QStringList StoredSamples(Database& db, const QString& serial, int sensor);
// The lines the samples should give, numbered from firstNumber.
QStringList ExpectedSamples(const std::vector<unitsim::WrittenSample>& samples, int firstNumber = 1);

// Events_1 of one unit, in running-number order.
QStringList StoredEvents(Database& db, const QString& serial);
// The lines the events should give on a unit whose sensors all have type sensorType.
QStringList ExpectedEvents(const std::vector<unitsim::WrittenEvent>& events, int sensorType = 1,
                           int firstNumber = 1);
