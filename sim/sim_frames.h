#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace unitsim {

quint8 XorOf(QByteArrayView bytes);

// True for a full request whose last byte is the XOR of the 14 before it.
bool FrameCheckOk(QByteArrayView frame);

// Status 0xFC, the payload zero-filled or cut to length - 1 bytes, then their XOR.
QByteArray DataReply(QByteArray payload, int length);

// The status byte, followed by `length` filler bytes unless bare (a unit that pads its
// status-only answers lets a reader that waits for the full length see them).
QByteArray StatusReply(quint8 status, int length, bool bare);

} // namespace unitsim
