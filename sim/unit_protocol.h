#pragma once

#include "sim_action.h"
#include "sim_command.h"
#include "sim_fault_script.h"
#include "sim_raw_input.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <functional>
#include <map>
#include <optional>

namespace unitsim {

class SimLog;

// How the unit tells a handshake request (one byte at a time, each acknowledged) from a block one.
enum class HandshakePolicy {
    Off,    // always block: collect 15 bytes, then reply
    On,     // always handshake: acknowledge every byte as it comes
    Detect, // handshake when the command byte arrives alone and nothing follows within the gap
};

struct ProtocolSettings
{
    bool bareStatus = false; // status-only answers as the single status byte
    int turnaroundMs = 0;    // before every answer
    int detectGapMs = 20;
    int frameTimeoutMs = 1000; // an unfinished request idle this long is dropped; 0 never
};

// The unit's side of the request/reply exchange, without any transport or clock of its own: it
// is fed received bytes and the current time, and answers with the actions to perform. It asks
// to be woken at WakeAt() for its time-outs and must be told when its output has been written.
class UnitProtocol
{
public:
    using ArrivalHook = std::function<void(quint8 command, int arrival)>;

    ProtocolSettings settings;

    void SetHandler(quint8 command, CommandHandler handler);
    void RemoveHandler(quint8 command);
    void SetHandshakePolicy(quint8 command, HandshakePolicy policy);
    void SetDefaultHandshakePolicy(HandshakePolicy policy);
    FaultScript& Faults() { return faults_; }
    int Arrivals(quint8 command) const { return arrivals_.value(command, 0); }
    void ResetArrivals() { arrivals_.clear(); }
    void SetLog(SimLog* log) { log_ = log; }
    void SetArrivalHook(ArrivalHook hook) { arrivalHook_ = std::move(hook); }
    // Not owned; between requests it is offered the bytes first. nullptr: none.
    void SetRawInput(RawInput* input) { rawInput_ = input; }

    SimActions Receive(QByteArrayView bytes, qint64 nowMs);
    SimActions Wake(qint64 nowMs);
    std::optional<qint64> WakeAt() const;
    void OutputDrained(qint64 nowMs);
    // The link was lost or dropped: a request in progress is void.
    void Reset();

private:
    enum class Mode { Undecided, Block, Handshake };

    void StartFrame(quint8 command, qint64 nowMs);
    SimActions TakeByte(char byte);
    SimActions EnterHandshake();
    SimActions AnswerStep(int step);
    SimActions AnswerFrame();
    QByteArray NormalReply() const;
    QByteArray Replaced(const QByteArray& answer, const Fault& fault) const;
    bool Supports(quint8 command) const;
    void Forget();
    void ArmExpiry(qint64 nowMs);
    void Note(const QString& text) const;

    std::map<quint8, CommandHandler> handlers_;
    QHash<quint8, HandshakePolicy> policies_;
    HandshakePolicy defaultPolicy_ = HandshakePolicy::Detect;
    FaultScript faults_;
    QHash<quint8, int> arrivals_;
    SimLog* log_ = nullptr;
    ArrivalHook arrivalHook_;
    RawInput* rawInput_ = nullptr;

    QByteArray frame_;
    Mode mode_ = Mode::Undecided;
    int arrival_ = 0;
    Fault fault_;
    std::optional<qint64> detectAt_;
    std::optional<qint64> expireAt_;
    bool outputBusy_ = false;
};

} // namespace unitsim
