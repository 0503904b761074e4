#pragma once

#include "link_result.h"
#include "link_timings.h"
#include "sim_thread.h"
#include "unit_command.h"
#include "unit_link.h"

#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <ostream>
#include <vector>

// How the server reaches the simulated unit.
enum class Wire {
    Pty,          // a serial port on the simulator's pseudo-terminal
    Tcp,          // the simulator's own TCP port, served like a device server
    DeviceServer, // socat between a TCP port and a pseudo-terminal, the simulator on that terminal
};

const char* WireName(Wire wire);
inline void PrintTo(Wire wire, std::ostream* os)
{
    *os << WireName(wire);
}

// Whether the wire can be built here: socat must be on PATH for the device server.
bool WireAvailable(Wire wire);

// The server's UnitLink, element 0, linked to a simulated unit in a thread of its own. The unit
// answers identification from the start; once Ready(), it has answered one and its
// arrival counts are back at 0.
class SimLine
{
public:
    SimLine(Wire wire, LinkTimings timings);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool Ready() const { return problem_.isEmpty(); }
    // Why the line could not be set up.
    const QString& Problem() const { return problem_; }

    unitsim::UnitSimulator& Sim() { return unit_.Sim(); }
    UnitLink& Link() { return *link_; }
    quint8 LinkSerial() const { return wire_ == Wire::Pty ? 1 : 0; }

    LinkResult Transact(RequestFrame& request, int dataLength, bool blockMode, ReplyBuffer& reply);
    // What a caller does after LinkFailure from a broken line: a serial port is reset, a TCP
    // element connected again. True once a transaction goes through again.
    bool Recover() { return Relink(true); }
    // The pauses taken between attempts since the line became ready, in milliseconds.
    const std::vector<int>& Pauses() const { return pauses_; }

private:
    // Links element 0 to the unit (a serial port: opened, or reset when reset) until it answers.
    bool Relink(bool reset);

    Wire wire_;
    QTemporaryDir dir_;
    QProcess socat_;
    quint16 tcpPort_ = 0;
    unitsim::SimThread unit_;
    std::unique_ptr<UnitLink> link_;
    std::vector<int> pauses_;
    QString problem_;
};
