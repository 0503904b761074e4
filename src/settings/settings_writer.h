#pragma once

#include "settings_form_values.h"

#include <unit/settings_image_layout.h>

#include <QString>

#include <optional>
#include <span>

// The settings writer: checks the dialog's entries, then encodes them into the image in the
// unit's layout, mirrors both blocks and stores the checksum.

inline constexpr char kRefusalTitle[] = "Λάθος επιλογή";

// The first refused entry, in the order the dialog is checked (sensor rows, bypass hours,
// mains page, notification page, unit number and codes); nothing when all pass.
std::optional<QString> CheckSettingsForm(const SettingsFormValues& values);

// Encodes checked values into image (whose other bytes stay), then seals it. An entry left as
// the dialog shows it for image keeps the image's bytes (a rounded decimal, a 16-bit value shown
// clamped, a telephone number with characters the code page lacks, flag bits no control shows,
// bypass hours of 0 shown as 1, an SG-2 byte other than 0 and 1), so values left alone change no
// byte. False, leaving the image as it was, when a value does not encode (a value the checks
// refuse).
bool EncodeSettingsForm(const SettingsFormValues& values, std::span<quint8> image);

// The checksum of the filled settings block: the 32-bit sum of its bytes after the checksum
// field, stored little-endian in that field.
quint32 SettingsChecksum(std::span<const quint8> image, const SettingsLayout& layout);
// Stores the checksum and copies the filled blocks (and the bypass byte) to their mirrors.
void SealSettingsImage(std::span<quint8> image, const SettingsLayout& layout);

// The bytes of a name code string (hex pairs ending in "00"), without the 0 byte; nothing
// when it is not such a string.
std::optional<QByteArray> NameCodeBytes(const QString& tag);
