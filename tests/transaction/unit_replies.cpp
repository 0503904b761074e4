#include "unit_replies.h"

#include "frame.h"
#include "reply_length.h"

QByteArray Payload(quint8 command, quint8 seed)
{
    const int n = ReplyLength(command);
    QByteArray payload;
    quint8 check = 0;
    for (int i = 0; i < n - 1; ++i) {
        const auto b = quint8(seed + i);
        payload.append(char(b));
        check ^= b;
    }
    payload.append(char(check));
    return payload;
}

QByteArray DataReply(quint8 command, quint8 seed)
{
    return Byte(StatusData) + Payload(command, seed);
}

QByteArray BadCheckReply(quint8 command)
{
    QByteArray reply = DataReply(command);
    reply.back() = char(reply.back() ^ 0x5A);
    return reply;
}

QByteArray StatusReply(quint8 status, quint8 command)
{
    return Byte(status) + QByteArray(ReplyLength(command), char(0x33));
}

PeerStep Block(const QByteArray& answer, int answerDelay, int stall)
{
    return {kRequestFrameSize, answer, answerDelay, stall};
}

PeerScript HandshakeAnsweredAt(int byte, const QByteArray& answer)
{
    PeerScript script;
    for (int i = 0; i < byte; ++i)
        script.push_back({1, Byte(i == 0 ? AckCommandByte : AckDataByte)});
    script.push_back({1, answer});
    return script;
}

PeerScript HandshakeAccepted(const QByteArray& finalAnswer, int answerDelay)
{
    PeerScript script = HandshakeAnsweredAt(kRequestFrameSize - 1, finalAnswer);
    script.back().answerDelay = answerDelay;
    return script;
}

PeerScript Join(std::initializer_list<PeerScript> parts)
{
    PeerScript script;
    for (const PeerScript& part : parts)
        script.insert(script.end(), part.begin(), part.end());
    return script;
}

QByteArray Byte(quint8 value)
{
    return QByteArray(1, char(value));
}
