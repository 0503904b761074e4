#pragma once

#include "unit_simulator.h"

#include <QThread>

#include <functional>

namespace unitsim {

// A UnitSimulator in a thread of its own, for callers that block their own thread (a blocking
// read, a busy wait) and for timing measurements. Sim() gives the simulator for its setters,
// which are safe from any thread; serving goes through the members below.
class SimThread
{
public:
    SimThread();
    // Stops serving (the pseudo-terminal link is removed) and ends the thread.
    ~SimThread();
    SimThread(const SimThread&) = delete;
    SimThread& operator=(const SimThread&) = delete;

    UnitSimulator& Sim() { return *sim_; }

    bool ServePty(const QString& linkPath);
    bool ServeTcp(quint16 port = 0);
    bool ServeDevice(const QString& path);
    void Stop();

private:
    // Runs work in the simulator's thread and waits for it.
    bool InThread(const std::function<bool()>& work);

    QThread thread_;
    UnitSimulator* sim_;
};

} // namespace unitsim
