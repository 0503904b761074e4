#pragma once

#include <QByteArray>

#include <vector>

namespace unitsim {

// One thing the unit does on its line, in order: write bytes, keep quiet for a while, or drop
// the link.
struct SimAction
{
    enum class Kind { Write, Wait, Drop };
    Kind kind = Kind::Write;
    QByteArray bytes; // Write
    int ms = 0;       // Wait: how long; Drop: how long the link stays down

    static SimAction Write(QByteArray bytes) { return {Kind::Write, std::move(bytes), 0}; }
    static SimAction Wait(int ms) { return {Kind::Wait, {}, ms}; }
    static SimAction Drop(int downMs) { return {Kind::Drop, {}, downMs}; }
};

using SimActions = std::vector<SimAction>;

} // namespace unitsim
