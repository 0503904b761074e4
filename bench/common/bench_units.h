#pragma once

#include <current_events.h>
#include <log_memory.h>
#include <sim_thread.h>
#include <unit_model.h>

#include <QString>

#include <memory>
#include <vector>

class Database;

// Simulated TELVARON-1 units B0000, B0001, ... on the pseudo-terminals com1, com2, ... of a
// folder, each with its Systems_Info, Sensors_Info (20 sensors) and Powermonitoring_Info rows.
// Their logs and event lists start empty.
struct BenchUnits
{
    BenchUnits(Database& db, const QString& folder, int count);

    std::vector<std::unique_ptr<unitsim::UnitModel>> models;
    std::vector<std::unique_ptr<unitsim::LogMemory>> logs;
    std::vector<std::unique_ptr<unitsim::CurrentEvents>> events;
    std::vector<std::unique_ptr<unitsim::SimThread>> sims;
};
