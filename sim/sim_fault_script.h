#pragma once

#include "sim_fault.h"

#include <map>
#include <utility>

namespace unitsim {

// Arrival number that stands for every arrival of a command without a fault of its own.
constexpr int kEveryArrival = 0;

// Which fault the unit shows the n-th time a command arrives (n counts from 1).
class FaultScript
{
public:
    void Set(quint8 command, int arrival, const Fault& fault);
    void Clear();
    // The fault for this arrival, else the command's every-arrival fault, else none.
    Fault Find(quint8 command, int arrival) const;

private:
    std::map<std::pair<quint8, int>, Fault> faults_;
};

} // namespace unitsim
