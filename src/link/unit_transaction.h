#pragma once

#include "frame.h"
#include "link_result.h"
#include "link_timings.h"

#include <functional>
#include <optional>

class Transport;

// One request/reply exchange with a unit over one transport, in up to three attempts, with
// the unit protocol's decisions on every status, acknowledgement and time-out. Serial and TCP
// differ only in the transport.
class UnitTransaction
{
public:
    // pause waits the given milliseconds between two attempts.
    UnitTransaction(Transport& transport, const LinkTimings& timings, std::function<void(int)> pause);

    // The request frame must be complete and its command code must have a reply length.
    LinkResult Run(const RequestFrame& request, ReplyBuffer& reply, bool blockMode);

private:
    struct Outcome
    {
        bool ends;         // the transaction ends now, whatever the attempt count
        LinkResult result; // the result when it ends, or when this was the last attempt
        int pause;         // before the next attempt
    };

    Outcome BlockAttempt(const RequestFrame& request, ReplyBuffer& reply);
    Outcome HandshakeAttempt(const RequestFrame& request, ReplyBuffer& reply);
    // The decision on a complete reply by its status byte.
    Outcome JudgeReply(const QByteArray& ReplyFrame, ReplyBuffer& reply, bool blockMode);
    Outcome TakePayload(const QByteArray& ReplyFrame, ReplyBuffer& reply);
    // Resets the transport after an error of the port or socket.
    Outcome BrokenLink();
    // Writes bytes and waits for count bytes to arrive: nothing when they did, else the attempt's
    // outcome (onSilence at the time-out).
    std::optional<Outcome> Send(const QByteArray& bytes, qint64 count, int milliseconds,
                                const Outcome& onSilence);
    int ReplyWait(const RequestFrame& request, bool blockMode) const;

    Transport& transport_;
    const LinkTimings& timings_;
    std::function<void(int)> pause_;
    int replyLength_ = 0;
    int failures_ = 0;
};
