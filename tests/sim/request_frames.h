#pragma once

#include <QByteArray>

// A request as the server sends it: command, data zero-filled to 13 bytes, XOR of the 14.
// Written here apart from the simulator so that the tests do not share its reading.
QByteArray requestFrame(quint8 command, const QByteArray& data = {});
quint8 xorBytes(const QByteArray& bytes);
