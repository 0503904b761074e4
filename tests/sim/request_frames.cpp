#include "request_frames.h"

quint8 XorBytes(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char b : bytes)
        x ^= quint8(b);
    return x;
}

QByteArray RequestFrame(quint8 command, const QByteArray& data)
{
    QByteArray frame(1, char(command));
    frame += data.left(13);
    frame.resize(14, '\0');
    frame += char(XorBytes(frame));
    return frame;
}

QByteArray IdentifyReply(const QByteArray& text)
{
    QByteArray payload = text;
    payload.resize(kIdentifyLength - 1, '\0');
    return QByteArray(1, char(0xFC)) + payload + char(XorBytes(payload));
}

QByteArray Padded(quint8 status, int length)
{
    return QByteArray(1, char(status)) + QByteArray(length, '\0');
}
