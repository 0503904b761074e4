#include "unit_transaction.h"

#include "event_wait.h"
#include "reply_length.h"
#include "transport.h"
#include "unit_command.h"

#include <algorithm>

namespace {
constexpr int kAttempts = 3;

QByteArray FrameBytes(const RequestFrame& request, int from, int count)
{
    return QByteArray(reinterpret_cast<const char*>(request.data()) + from, count);
}
} // namespace

UnitTransaction::UnitTransaction(Transport& transport, const LinkTimings& timings,
                                 std::function<void(int)> pause)
    : transport_(transport), timings_(timings), pause_(std::move(pause))
{
}

LinkResult UnitTransaction::Run(const RequestFrame& request, ReplyBuffer& reply, bool blockMode)
{
    replyLength_ = ReplyLength(request[0]);
    failures_ = 0;
    for (;;) {
        const Outcome outcome = blockMode ? BlockAttempt(request, reply) : HandshakeAttempt(request, reply);
        if (outcome.ends || ++failures_ == kAttempts)
            return outcome.result;
        if (outcome.pause > 0)
            pause_(outcome.pause);
    }
}

UnitTransaction::Outcome UnitTransaction::BlockAttempt(const RequestFrame& request, ReplyBuffer& reply)
{
    // Anything that arrived before the request is stale: let it in, then drop it.
    PumpEventsOnce();
    if (!transport_.DiscardInput())
        return BrokenLink();
    if (const auto failed = Send(FrameBytes(request, 0, kRequestFrameSize), replyLength_ + 1,
                                 ReplyWait(request, true), {false, LinkNoAnswer, timings_.blockPause}))
        return *failed;
    return JudgeReply(transport_.ReadAll(), reply, true);
}

UnitTransaction::Outcome UnitTransaction::HandshakeAttempt(const RequestFrame& request, ReplyBuffer& reply)
{
    if (!transport_.DiscardInput())
        return BrokenLink();
    for (int i = 0; i < kRequestFrameSize - 1; ++i) {
        const bool commandByte = i == 0;
        // Silence to the very first byte means nobody is there; later silence is a failed attempt.
        const Outcome onSilence =
            commandByte && failures_ == 0 ? Outcome{true, LinkNoAnswer, 0} : Outcome{false, LinkFailure, 0};
        if (const auto failed = Send(FrameBytes(request, i, 1), 1, timings_.handshakeWait, onSilence))
            return *failed;
        const quint8 ack = transport_.ReadAll()[0];
        if (ack == (commandByte ? AckCommandByte : AckDataByte))
            continue;
        if (ack == StatusMenuBusy)
            return {true, LinkMenuBusy, 0};
        if (ack == StatusRetry)
            return {false, LinkFailure, 0};
        if (commandByte && ack == NakCommandByte)
            return {false, LinkNotSupported, 0};
        return {false, LinkFailure, timings_.handshakePause};
    }
    PumpEventsOnce();
    if (const auto failed = Send(FrameBytes(request, kRequestFrameSize - 1, 1), replyLength_ + 1,
                                 ReplyWait(request, false), {false, LinkFailure, 0}))
        return *failed;
    return JudgeReply(transport_.ReadAll(), reply, false);
}

UnitTransaction::Outcome UnitTransaction::JudgeReply(const QByteArray& ReplyFrame, ReplyBuffer& reply,
                                                     bool blockMode)
{
    switch (quint8(ReplyFrame[0])) {
    case StatusData:
        return TakePayload(ReplyFrame, reply);
    case StatusRetry:
        return {false, LinkFailure, 0};
    case StatusMenuBusy:
        return {true, LinkMenuBusy, 0};
    case StatusNotSupported:
        // Only a whole-frame request can be refused this way; after a handshake it is no final status.
        if (blockMode)
            return {true, LinkNotSupported, 0};
        [[fallthrough]];
    default:
        return {false, LinkFailure, blockMode ? timings_.blockPause : timings_.handshakePause};
    }
}

UnitTransaction::Outcome UnitTransaction::TakePayload(const QByteArray& ReplyFrame, ReplyBuffer& reply)
{
    std::copy_n(ReplyFrame.begin() + 1, replyLength_, reply.begin());
    if (PayloadCheckOk(std::span<const quint8>(reply).first(replyLength_)))
        return {true, LinkOk, 0};
    return {false, LinkFailure, 0};
}

UnitTransaction::Outcome UnitTransaction::BrokenLink()
{
    transport_.Reset();
    return {true, LinkFailure, 0};
}

std::optional<UnitTransaction::Outcome> UnitTransaction::Send(const QByteArray& bytes, qint64 count,
                                                              int milliseconds, const Outcome& onSilence)
{
    if (!transport_.Write(bytes))
        return BrokenLink();
    const auto complete = [&] { return transport_.BytesAvailable() >= count; };
    if (!WaitUntil(milliseconds, [&] { return complete() || transport_.Failed(); }))
        return onSilence;
    if (!complete())
        return BrokenLink();
    return std::nullopt;
}

int UnitTransaction::ReplyWait(const RequestFrame& request, bool blockMode) const
{
    if (request[0] == CmdReadLogPage)
        return blockMode ? timings_.blockLogPageReplyWait : timings_.handshakeLogPageReplyWait;
    return blockMode ? timings_.blockReplyWait : timings_.handshakeWait;
}
