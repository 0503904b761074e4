#pragma once

#include "scripted_peer.h"

#include <QtGlobal>

#include <initializer_list>

// What a scripted unit answers. Every reply is sized by the command's reply length N.

// N payload bytes counting up from seed, the last one the XOR check of the others.
QByteArray Payload(quint8 command, quint8 seed = 1);
// StatusData and a payload with a correct check byte.
QByteArray DataReply(quint8 command, quint8 seed = 1);
// StatusData and a payload whose check byte is wrong.
QByteArray BadCheckReply(quint8 command);
// Another status followed by N filler bytes: complete in length, so the link examines it.
QByteArray StatusReply(quint8 status, quint8 command);

// One BlockMode attempt: the 15-byte request, then the answer.
PeerStep Block(const QByteArray& answer = {}, int answerDelay = 0, int stall = 0);
// One HandshakeMode attempt acknowledged byte by byte, the check byte answered with finalAnswer.
PeerScript HandshakeAccepted(const QByteArray& finalAnswer, int answerDelay = 0);
// One HandshakeMode attempt acknowledged up to request byte `byte`, which is answered with answer
// (silence when empty).
PeerScript HandshakeAnsweredAt(int byte, const QByteArray& answer);
PeerScript Join(std::initializer_list<PeerScript> parts);
QByteArray Byte(quint8 value);
