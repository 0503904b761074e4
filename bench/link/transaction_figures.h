#pragma once

#include "sim_line.h"
#include "unit_command.h"

#include <vector>

// Wall time of one paced transaction after another, in nanoseconds.
std::vector<qint64> TransactionTimes(SimLine& line, UnitCommand command, int count);

struct CpuFigures
{
    double cpuUs;  // CPU time of the calling thread per transaction
    double wallUs; // wall time per transaction
    int failures;  // transactions that did not end LinkOk
};

// CPU time that the calling thread (the server's) spends per transaction; the unit runs in its own
// thread and is not counted.
CpuFigures TransactionCpu(SimLine& line, UnitCommand command, int count);

double Mean(const std::vector<qint64>& values);
double Median(std::vector<qint64> values);
