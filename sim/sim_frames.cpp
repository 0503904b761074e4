#include "sim_frames.h"

#include "sim_bytes.h"

#include <algorithm>

namespace unitsim {

quint8 XorOf(QByteArrayView bytes)
{
    quint8 x = 0;
    for (char b : bytes)
        x ^= quint8(b);
    return x;
}

bool FrameCheckOk(QByteArrayView frame)
{
    return frame.size() == kFrameSize && XorOf(frame.first(kCheckIndex)) == quint8(frame[kCheckIndex]);
}

QByteArray DataReply(QByteArray payload, int length)
{
    payload.resize(std::max(length - 1, 0), '\0');
    QByteArray reply(1, char(kStatusData));
    reply += payload;
    if (length > 0)
        reply += char(XorOf(payload));
    return reply;
}

QByteArray StatusReply(quint8 status, int length, bool bare)
{
    QByteArray reply(1, char(status));
    if (!bare)
        reply += QByteArray(length, char(kFiller));
    return reply;
}

} // namespace unitsim
