#pragma once

#include <QString>

#include <span>

// The unit's own name encoding: 128 to 151 the Greek capitals Α to Ω, 255 followed by the
// number of one of the fixed words, 0 the end, any other byte its code-page character.

constexpr quint8 kDeviceWordMarker = 255;
constexpr int kDeviceWordCount = 40;

// Word n (1 to kDeviceWordCount); empty for any other n.
QString DeviceWord(int n);

// The display text of the name at start. A word stands apart from its neighbours by one
// space; letters and characters next to each other are not separated. The end of the
// buffer ends the name as a 0 byte would (a marker in the last byte names no word).
QString DecodeDeviceText(std::span<const quint8> buffer, qsizetype start);
