#include "sim_fault_script.h"

namespace unitsim {

void FaultScript::set(quint8 command, int arrival, const Fault& fault)
{
    if (fault.isNone())
        faults_.erase({command, arrival});
    else
        faults_[{command, arrival}] = fault;
}

void FaultScript::clear()
{
    faults_.clear();
}

Fault FaultScript::find(quint8 command, int arrival) const
{
    for (int key : {arrival, kEveryArrival}) {
        if (auto it = faults_.find({command, key}); it != faults_.end())
            return it->second;
    }
    return {};
}

} // namespace unitsim
