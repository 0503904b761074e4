#pragma once

#include "link_result.h"
#include "scripted_peer.h"
#include "unit_link.h"

#include <memory>
#include <ostream>
#include <vector>

enum class Wire { Serial, Tcp };

// Short waits and pauses, each distinct so a test can tell which one was taken.
LinkTimings TestTimings();

// A UnitLink with element 0 linked to a scripted unit over a pseudo-terminal or 127.0.0.1.
class LinkBench
{
public:
    explicit LinkBench(Wire wire, LinkTimings timings = TestTimings());
    ~LinkBench();

    UnitLink& Link() { return *link_; }
    ScriptedPeer& Peer() { return *peer_; }
    quint8 LinkSerial() const { return wire_ == Wire::Serial ? 1 : 0; }
    bool Ready() const;
    LinkResult Transact(RequestFrame& request, int dataLength, bool blockMode, ReplyBuffer& reply);
    // The pauses taken between attempts, in milliseconds, since the bench was made.
    const std::vector<int>& Pauses() const { return pauses_; }

private:
    Wire wire_;
    std::unique_ptr<ScriptedPeer> peer_;
    std::unique_ptr<UnitLink> link_;
    std::vector<int> pauses_;
};

const char* WireName(Wire wire);
inline void PrintTo(Wire wire, std::ostream* os)
{
    *os << WireName(wire);
}
