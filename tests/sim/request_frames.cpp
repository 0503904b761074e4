#include "request_frames.h"

quint8 xorBytes(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char b : bytes)
        x ^= quint8(b);
    return x;
}

QByteArray requestFrame(quint8 command, const QByteArray& data)
{
    QByteArray frame(1, char(command));
    frame += data.left(13);
    frame.resize(14, '\0');
    frame += char(xorBytes(frame));
    return frame;
}

QByteArray identifyReply(const QByteArray& text)
{
    QByteArray payload = text;
    payload.resize(kIdentifyLength - 1, '\0');
    return QByteArray(1, char(0xFC)) + payload + char(xorBytes(payload));
}

QByteArray padded(quint8 status, int length)
{
    return QByteArray(1, char(status)) + QByteArray(length, '\0');
}
