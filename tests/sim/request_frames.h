#pragma once

#include <QByteArray>

// A request as the server sends it: command, data zero-filled to 13 bytes, XOR of the 14.
// Written here apart from the simulator so that the tests do not share its reading.
QByteArray RequestFrame(quint8 command, const QByteArray& data = {});
quint8 XorBytes(const QByteArray& bytes);

// The identify command, whose reply carries 34 payload bytes, check byte included.
constexpr quint8 kIdentify = 7;
constexpr int kIdentifyLength = 34;
// The unit's block reply to identify when it answers with text: 0xFC, the text zero-filled, XOR.
QByteArray IdentifyReply(const QByteArray& text = "TELVARON-1");
// A status-only answer padded with zeros to a reply of length payload bytes.
QByteArray Padded(quint8 status, int length = kIdentifyLength);
