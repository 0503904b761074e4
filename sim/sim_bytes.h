#pragma once

#include <QtGlobal>

namespace unitsim {

// A request is the command code, 13 data bytes and the XOR of those 14 bytes.
constexpr int kFrameSize = 15;
constexpr int kCheckIndex = kFrameSize - 1;

// First byte of every answer.
constexpr quint8 kStatusNotSupported = 0xF9;
constexpr quint8 kStatusBusy = 0xFA;
constexpr quint8 kStatusResend = 0xFB;
constexpr quint8 kStatusData = 0xFC;

// Handshake acknowledgements, one per request byte 0 to 13.
constexpr quint8 kAckData = 0xFD;
constexpr quint8 kNakCommand = 0xFE;
constexpr quint8 kAckCommand = 0xFF;

// What follows a status byte when a status-only answer is padded to the reply length.
constexpr quint8 kFiller = 0x00;

// One byte on a 115200 baud 8N1 line is 10 bit times.
constexpr qint64 kByteTimeNs = 1'000'000'000LL * 10 / 115200;

} // namespace unitsim
