#pragma once

#include "sim_action.h"
#include "sim_bytes.h"

#include <QString>

namespace unitsim {

// Handshake step of the answer to request byte 14, that is of the reply itself.
constexpr int kReplyStep = kCheckIndex;

// A deliberate misbehaviour of the unit for one answer. In handshake mode the unit answers every
// request byte, and `step` names the request byte (0 to 14) whose answer the fault changes; in
// block mode the reply is the only answer and `step` does not matter. Any kind may be preceded
// by a wait (WithDelay).
struct Fault
{
    enum class Kind {
        None,          // the normal answer (after delayMs)
        Silence,       // no answer at all
        ShortReply,    // the answer without its last `count` bytes
        LongReply,     // the answer followed by `count` bytes of `value`
        SplitReply,    // the first `count` bytes, a pause of `gapMs`, the rest
        GarbagePrefix, // `count` bytes of `value`, then the answer
        BadCheck,      // the answer with its last (check) byte inverted
        Status,        // a status-only answer with status `value`
        WrongAck,      // the single byte `value` in place of the answer
        Drop,          // the link is dropped (TCP) or the port closed (pty) for `gapMs`
    };
    Kind kind = Kind::None;
    int delayMs = 0;
    int count = 0;
    int gapMs = 0;
    quint8 value = 0;
    int step = kReplyStep;

    static Fault Delay(int ms);
    static Fault Silence();
    static Fault ShortReply(int missing = 1);
    static Fault LongReply(int extra = 1, quint8 value = 0x00);
    static Fault SplitReply(int firstBytes, int gapMs);
    static Fault GarbagePrefix(int count = 3, quint8 value = 0x00);
    static Fault BadCheck();
    static Fault Status(quint8 status);
    static Fault WrongAck(int step, quint8 value);
    static Fault Drop(int downMs = 0);

    Fault AtStep(int handshakeStep) const;
    Fault WithDelay(int ms) const;

    bool IsNone() const { return kind == Kind::None && delayMs == 0; }
    // Whether the answer still has the normal content (only its timing may differ).
    bool KeepsAnswer() const { return kind == Kind::None; }
    QString Describe() const;
};

// What the unit writes for `answer` under `fault`, after `turnaroundMs`. Status and WrongAck
// replace the answer before this (they need the reply length), so here they write it as it is.
SimActions ShapeAnswer(const QByteArray& answer, const Fault& fault, int turnaroundMs);

} // namespace unitsim
