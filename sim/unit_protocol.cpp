#include "unit_protocol.h"

#include "sim_frames.h"
#include "sim_log.h"
#include "sim_reply_lengths.h"

namespace unitsim {

namespace {
void append(SimActions& to, SimActions more)
{
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}
} // namespace

void UnitProtocol::setHandler(quint8 command, CommandHandler handler)
{
    handlers_[command] = std::move(handler);
}

void UnitProtocol::removeHandler(quint8 command)
{
    handlers_.erase(command);
}

void UnitProtocol::setHandshakePolicy(quint8 command, HandshakePolicy policy)
{
    policies_[command] = policy;
}

void UnitProtocol::setDefaultHandshakePolicy(HandshakePolicy policy)
{
    defaultPolicy_ = policy;
}

SimActions UnitProtocol::receive(QByteArrayView bytes, qint64 nowMs)
{
    if (rawInput_ && frame_.isEmpty() && rawInput_->takes(nowMs)) {
        SimActions out = rawInput_->receive(bytes, nowMs);
        outputBusy_ = outputBusy_ || !out.empty();
        return out;
    }
    SimActions out;
    // The gap passed before these bytes came, even if the wake-up has not been served yet.
    if (mode_ == Mode::Undecided && detectAt_ && nowMs >= *detectAt_)
        append(out, enterHandshake());
    for (char byte : bytes) {
        if (frame_.isEmpty()) {
            startFrame(quint8(byte), nowMs);
        } else if (mode_ == Mode::Undecided) {
            mode_ = Mode::Block;
            detectAt_.reset();
        }
        append(out, takeByte(byte));
    }
    if (!out.empty())
        outputBusy_ = true;
    armExpiry(nowMs);
    return out;
}

SimActions UnitProtocol::wake(qint64 nowMs)
{
    SimActions out;
    if (mode_ == Mode::Undecided && detectAt_ && nowMs >= *detectAt_) {
        out = enterHandshake();
    } else if (expireAt_ && nowMs >= *expireAt_) {
        note(QStringLiteral("RX incomplete request dropped: %1").arg(SimLog::hex(frame_)));
        forget();
    }
    if (!out.empty()) {
        outputBusy_ = true;
        armExpiry(nowMs);
    }
    return out;
}

std::optional<qint64> UnitProtocol::wakeAt() const
{
    std::optional<qint64> at = expireAt_;
    if (mode_ == Mode::Undecided && detectAt_ && (!at || *detectAt_ < *at))
        at = detectAt_;
    return at;
}

void UnitProtocol::outputDrained(qint64 nowMs)
{
    outputBusy_ = false;
    armExpiry(nowMs);
}

void UnitProtocol::reset()
{
    forget();
    outputBusy_ = false;
}

void UnitProtocol::startFrame(quint8 command, qint64 nowMs)
{
    arrival_ = ++arrivals_[command];
    fault_ = faults_.find(command, arrival_);
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

SimActions UnitProtocol::takeByte(char byte)
{
    frame_.append(byte);
    if (mode_ == Mode::Handshake)
        return answerStep(int(frame_.size()) - 1);
    if (mode_ == Mode::Block && frame_.size() == kFrameSize)
        return answerFrame();
    return {};
}

SimActions UnitProtocol::enterHandshake()
{
    mode_ = Mode::Handshake;
    detectAt_.reset();
    return answerStep(0);
}

SimActions UnitProtocol::answerStep(int step)
{
    if (step == kReplyStep)
        return answerFrame();
    const Fault fault = fault_.step == step ? fault_ : Fault{};
    QByteArray ack(1, char(step == 0 ? kAckCommand : kAckData));
    // Anything but the plain acknowledgement ends the request: the server starts again at byte 0.
    bool ends = !fault.keepsAnswer();
    if (step == 0 && !supports(quint8(frame_[0]))) {
        ack[0] = char(kNakCommand);
        ends = true;
    }
    if (ends) {
        note(QStringLiteral("RX %1 (handshake, ended at byte %2%3)")
                 .arg(SimLog::hex(frame_))
                 .arg(step)
                 .arg(fault.isNone() ? QString() : QStringLiteral(", fault ") + fault.describe()));
        forget();
    } else if (!fault.isNone()) {
        note(QStringLiteral("fault %1").arg(fault.describe()));
    }
    return shapeAnswer(replaced(ack, fault), fault, settings.turnaroundMs);
}

SimActions UnitProtocol::answerFrame()
{
    const Fault fault = mode_ == Mode::Block || fault_.step == kReplyStep ? fault_ : Fault{};
    note(QStringLiteral("RX %1 (command %2, arrival %3, %4%5)")
             .arg(SimLog::hex(frame_))
             .arg(quint8(frame_[0]))
             .arg(arrival_)
             .arg(mode_ == Mode::Block ? QStringLiteral("block") : QStringLiteral("handshake"))
             .arg(fault.isNone() ? QString() : QStringLiteral(", fault ") + fault.describe()));
    const QByteArray reply = replaced(normalReply(), fault);
    forget();
    return shapeAnswer(reply, fault, settings.turnaroundMs);
}

QByteArray UnitProtocol::normalReply() const
{
    const quint8 command = quint8(frame_[0]);
    const int length = replyLength(command);
    if (!frameCheckOk(frame_))
        return statusReply(kStatusResend, length, settings.bareStatus);
    if (!supports(command))
        return statusReply(kStatusNotSupported, length, settings.bareStatus);
    // A copy: the handler may replace itself.
    const CommandHandler handler = handlers_.at(command);
    const CommandAnswer answer = handler(frame_);
    if (!answer.isData)
        return statusReply(answer.status, length, settings.bareStatus);
    if (answer.payload.size() > length - 1)
        note(QStringLiteral("handler payload of %1 bytes cut to %2")
                 .arg(answer.payload.size())
                 .arg(length - 1));
    return dataReply(answer.payload, length);
}

QByteArray UnitProtocol::replaced(const QByteArray& answer, const Fault& fault) const
{
    switch (fault.kind) {
    case Fault::Kind::Status:
        return statusReply(fault.value, replyLength(quint8(frame_[0])), settings.bareStatus);
    case Fault::Kind::WrongAck:
        return QByteArray(1, char(fault.value));
    default:
        return answer;
    }
}

bool UnitProtocol::supports(quint8 command) const
{
    return replyLength(command) > 0 && handlers_.contains(command);
}

void UnitProtocol::forget()
{
    frame_.clear();
    mode_ = Mode::Undecided;
    detectAt_.reset();
    expireAt_.reset();
    fault_ = {};
}

void UnitProtocol::armExpiry(qint64 nowMs)
{
    if (frame_.isEmpty() || outputBusy_ || settings.frameTimeoutMs <= 0)
        expireAt_.reset();
    else
        expireAt_ = nowMs + settings.frameTimeoutMs;
}

void UnitProtocol::note(const QString& text) const
{
    if (log_)
        log_->line(text);
}

} // namespace unitsim
