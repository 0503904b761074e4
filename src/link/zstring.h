#pragma once

#include <QString>

#include <span>

// Zero-terminated one-byte texts (access codes, telephone numbers).
// To bound a text by its field, pass the field's bytes as the buffer.

// The text from start up to the first 0 byte; the end of the buffer ends it too.
// A start outside the buffer gives the empty text.
QString ReadZString(std::span<const quint8> buffer, qsizetype start);

// Writes the code of each character, then a 0 byte; characters the code page lacks
// become '?'. Writes nothing and returns false when the text and its 0 byte do not fit.
bool WriteZString(std::span<quint8> buffer, qsizetype start, const QString& text);
