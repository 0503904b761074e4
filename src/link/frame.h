#pragma once

#include <QtGlobal>

#include <array>
#include <span>

constexpr int kRequestFrameSize = 15;
using RequestFrame = std::array<quint8, kRequestFrameSize>;

// Reply status bytes: the first byte of every reply.
enum ReplyStatus : quint8 {
    StatusNotSupported = 0xF9,
    StatusMenuBusy = 0xFA,
    StatusRetry = 0xFB,
    StatusData = 0xFC,
};

// Handshake acknowledgements, one per request byte.
enum HandshakeAck : quint8 {
    AckDataByte = 0xFD,
    NakCommandByte = 0xFE,
    AckCommandByte = 0xFF,
};

// Zeroes the bytes after the caller's dataLength bytes (command byte included) and
// sets byte 14 to the XOR of bytes 0 to 13. dataLength is clamped to 1..14.
void CompleteRequestFrame(RequestFrame& request, int dataLength);

// XOR of all bytes.
quint8 XorOf(std::span<const quint8> bytes);

// True when the payload's last byte is the XOR of the bytes before it (false when empty).
bool PayloadCheckOk(std::span<const quint8> payload);
