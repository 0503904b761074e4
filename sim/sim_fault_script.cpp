#include "sim_fault_script.h"

namespace unitsim {

void FaultScript::Set(quint8 command, int arrival, const Fault& fault)
{
    if (fault.IsNone())
        faults_.erase({command, arrival});
    else
        faults_[{command, arrival}] = fault;
}

void FaultScript::Clear()
{
    faults_.clear();
}

Fault FaultScript::Find(quint8 command, int arrival) const
{
    for (int key : {arrival, kEveryArrival}) {
        if (auto it = faults_.find({command, key}); it != faults_.end())
            return it->second;
    }
    return {};
}

} // namespace unitsim
