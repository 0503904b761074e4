#include "unit_protocol.h"

#include "sim_frames.h"
#include "sim_log.h"
#include "sim_reply_lengths.h"

namespace unitsim {

namespace {
void Append(SimActions& to, SimActions more)
{
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}
} // namespace

void UnitProtocol::SetHandler(quint8 command, CommandHandler handler)
{
    handlers_[command] = std::move(handler);
}

void UnitProtocol::RemoveHandler(quint8 command)
{
    handlers_.erase(command);
}

void UnitProtocol::SetHandshakePolicy(quint8 command, HandshakePolicy policy)
{
    policies_[command] = policy;
}

void UnitProtocol::SetDefaultHandshakePolicy(HandshakePolicy policy)
{
    defaultPolicy_ = policy;
}

SimActions UnitProtocol::Receive(QByteArrayView bytes, qint64 nowMs)
{
    if (rawInput_ && frame_.isEmpty() && rawInput_->Takes(nowMs)) {
        SimActions out = rawInput_->Receive(bytes, nowMs);
        outputBusy_ = outputBusy_ || !out.empty();
        return out;
    }
    SimActions out;
    // The gap passed before these bytes came, even if the wake-up has not been served yet.
    if (mode_ == Mode::Undecided && detectAt_ && nowMs >= *detectAt_)
        Append(out, EnterHandshake());
    for (char byte : bytes) {
        if (frame_.isEmpty()) {
            StartFrame(quint8(byte), nowMs);
        } else if (mode_ == Mode::Undecided) {
            mode_ = Mode::Block;
            detectAt_.reset();
        }
        Append(out, TakeByte(byte));
    }
    if (!out.empty())
        outputBusy_ = true;
    ArmExpiry(nowMs);
    return out;
}

SimActions UnitProtocol::Wake(qint64 nowMs)
{
    SimActions out;
    if (mode_ == Mode::Undecided && detectAt_ && nowMs >= *detectAt_) {
        out = EnterHandshake();
    } else if (expireAt_ && nowMs >= *expireAt_) {
        Note(QStringLiteral("RX incomplete request dropped: %1").arg(SimLog::Hex(frame_)));
        Forget();
    }
    if (!out.empty()) {
        outputBusy_ = true;
        ArmExpiry(nowMs);
    }
    return out;
}

std::optional<qint64> UnitProtocol::WakeAt() const
{
    std::optional<qint64> at = expireAt_;
    if (mode_ == Mode::Undecided && detectAt_ && (!at || *detectAt_ < *at))
        at = detectAt_;
    return at;
}

void UnitProtocol::OutputDrained(qint64 nowMs)
{
    outputBusy_ = false;
    ArmExpiry(nowMs);
}

void UnitProtocol::Reset()
{
    Forget();
    outputBusy_ = false;
}

void UnitProtocol::StartFrame(quint8 command, qint64 nowMs)
{
    arrival_ = ++arrivals_[command];
    fault_ = faults_.Find(command, arrival_);
    switch (policies_.value(command, defaultPolicy_)) {
    case HandshakePolicy::Off:
        mode_ = Mode::Block;
        break;
    case HandshakePolicy::On:
        mode_ = Mode::Handshake;
        break;
    case HandshakePolicy::Detect:
        mode_ = Mode::Undecided;
        detectAt_ = nowMs + settings.detectGapMs;
        break;
    }
    if (arrivalHook_)
        arrivalHook_(command, arrival_);
}

SimActions UnitProtocol::TakeByte(char byte)
{
    frame_.append(byte);
    if (mode_ == Mode::Handshake)
        return AnswerStep(int(frame_.size()) - 1);
    if (mode_ == Mode::Block && frame_.size() == kFrameSize)
        return AnswerFrame();
    return {};
}

SimActions UnitProtocol::EnterHandshake()
{
    mode_ = Mode::Handshake;
    detectAt_.reset();
    return AnswerStep(0);
}

SimActions UnitProtocol::AnswerStep(int step)
{
    if (step == kReplyStep)
        return AnswerFrame();
    const Fault fault = fault_.step == step ? fault_ : Fault{};
    QByteArray ack(1, char(step == 0 ? kAckCommand : kAckData));
    // Anything but the plain acknowledgement ends the request: the server starts again at byte 0.
    bool ends = !fault.KeepsAnswer();
    if (step == 0 && !Supports(quint8(frame_[0]))) {
        ack[0] = char(kNakCommand);
        ends = true;
    }
    if (ends) {
        Note(QStringLiteral("RX %1 (handshake, ended at byte %2%3)")
                 .arg(SimLog::Hex(frame_))
                 .arg(step)
                 .arg(fault.IsNone() ? QString() : QStringLiteral(", fault ") + fault.Describe()));
        Forget();
    } else if (!fault.IsNone()) {
        Note(QStringLiteral("fault %1").arg(fault.Describe()));
    }
    return ShapeAnswer(Replaced(ack, fault), fault, settings.turnaroundMs);
}

SimActions UnitProtocol::AnswerFrame()
{
    const Fault fault = mode_ == Mode::Block || fault_.step == kReplyStep ? fault_ : Fault{};
    Note(QStringLiteral("RX %1 (command %2, arrival %3, %4%5)")
             .arg(SimLog::Hex(frame_))
             .arg(quint8(frame_[0]))
             .arg(arrival_)
             .arg(mode_ == Mode::Block ? QStringLiteral("block") : QStringLiteral("handshake"))
             .arg(fault.IsNone() ? QString() : QStringLiteral(", fault ") + fault.Describe()));
    const QByteArray reply = Replaced(NormalReply(), fault);
    Forget();
    return ShapeAnswer(reply, fault, settings.turnaroundMs);
}

QByteArray UnitProtocol::NormalReply() const
{
    const quint8 command = quint8(frame_[0]);
    const int length = ReplyLength(command);
    if (!FrameCheckOk(frame_))
        return StatusReply(kStatusResend, length, settings.bareStatus);
    if (!Supports(command))
        return StatusReply(kStatusNotSupported, length, settings.bareStatus);
    // A copy: the handler may replace itself.
    const CommandHandler handler = handlers_.at(command);
    const CommandAnswer answer = handler(frame_);
    if (!answer.isData)
        return StatusReply(answer.status, length, settings.bareStatus);
    if (answer.payload.size() > length - 1)
        Note(QStringLiteral("handler payload of %1 bytes cut to %2")
                 .arg(answer.payload.size())
                 .arg(length - 1));
    return DataReply(answer.payload, length);
}

QByteArray UnitProtocol::Replaced(const QByteArray& answer, const Fault& fault) const
{
    switch (fault.kind) {
    case Fault::Kind::Status:
        return StatusReply(fault.value, ReplyLength(quint8(frame_[0])), settings.bareStatus);
    case Fault::Kind::WrongAck:
        return QByteArray(1, char(fault.value));
    default:
        return answer;
    }
}

bool UnitProtocol::Supports(quint8 command) const
{
    return ReplyLength(command) > 0 && handlers_.contains(command);
}

void UnitProtocol::Forget()
{
    frame_.clear();
    mode_ = Mode::Undecided;
    detectAt_.reset();
    expireAt_.reset();
    fault_ = {};
}

void UnitProtocol::ArmExpiry(qint64 nowMs)
{
    if (frame_.isEmpty() || outputBusy_ || settings.frameTimeoutMs <= 0)
        expireAt_.reset();
    else
        expireAt_ = nowMs + settings.frameTimeoutMs;
}

void UnitProtocol::Note(const QString& text) const
{
    if (log_)
        log_->Line(text);
}

} // namespace unitsim
