#pragma once

#include <QString>

#include <span>

// Hex texts of the settings exchange: names kept as hex byte codes, Intel HEX record
// checksums and the digit substitution of the upload.

// Two upper-case hex digits.
QString Hex2(quint8 b);

// The hex codes of the bytes from start up to and including the first 0 byte, so the
// text always ends in "00"; the end of the buffer ends it as a 0 byte would.
QString HexZString(std::span<const quint8> buffer, qsizetype start);

// The checksum pair of a record text that starts with ':' and has no checksum yet: the
// two's complement of the sum of its pairs. A pair that is not hex counts as 0, and a
// lone last digit as its own value.
QString IntelHexChecksum(const QString& record);

// Swaps the upper-case hex digits pairwise (0-8, 1-9, 2-7, 3-6, 4-5, A-D, B-F, C-E);
// every other character passes unchanged, so applying it twice restores the text.
QString ScrambleHexDigits(const QString& text);
