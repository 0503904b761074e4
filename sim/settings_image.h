#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace unitsim {

constexpr int kSettingsImageSize = 4096;
constexpr int kSettingsBlockSize = 256;
constexpr int kSettingsBlocks = kSettingsImageSize / kSettingsBlockSize;

// One sensor row of the unit's settings. Names are the unit's own name bytes (letters 128..151,
// 255 and a word number, other bytes as characters), without the 0 byte.
struct ImageSensor
{
    int type = 2; // 0 temperature, 1 humidity, 2 probe, 3 contact, 4 contact (normally open), 5 pressure
    QByteArray name;
    bool active = true;
    bool maxInUse = true;
    float maxLimit = 8.0f;
    bool minInUse = true;
    float minLimit = -2.5f;
    int recordingRate = 15; // minutes between logged samples
};

// What the settings memory of a unit holds, as far as the simulated unit needs to tell it.
struct ImageContents
{
    bool twentySensors = true; // the layout of the TELVARON-1 models, else that of the 8-sensor ones
    int systemNumber = 1;
    QByteArray systemName;
    QString securityCode = QStringLiteral("1234");
    QString entryCode = QStringLiteral("0000");
    int mainsMode = 0; // voltage inputs monitored besides the supply
    std::vector<ImageSensor>
        sensors; // row i; rows beyond the layout's are ignored, missing ones stay inactive
};

// A legal image: both copies of the settings and of the names, written as the unit keeps them,
// with the checksum of the settings.
QByteArray BuildSettingsImage(const ImageContents& contents);

// The checksum that opens the filled settings block: the 32-bit sum of the block's bytes after
// it. SettingsChecksumHolds tells whether the field, low byte first, holds it.
quint32 SettingsSum(const QByteArray& image, bool twentySensors);
bool SettingsChecksumHolds(const QByteArray& image, bool twentySensors);

// What a unit reads back from its image: the mains monitoring mode and, per row, the type, the
// active flag, the limits and the recording rate (names and codes are not read).
ImageContents ReadImageContents(const QByteArray& image, bool twentySensors);

// The image of a unit of that layout with its first activeSensors sensors active: probes on the
// digital rows, temperature inputs on the analog rows, each named after its number.
ImageContents DefaultImageContents(bool twentySensors, int activeSensors, int systemNumber);

} // namespace unitsim
