#include "settings_image.h"

#include <QtEndian>

#include <cstring>

namespace unitsim {

namespace {
// Where the parts lie in each layout. Written here from the unit's memory map on purpose, apart
// from the server's reader, so that a misreading on either side shows in the tests.
struct Layout
{
    int settingsAt, settingsSize, namesAt, namesMirrorAt, namesSize;
    int mainsFlags, mainsDelay, mainsMode, schedule, ringCount, systemNumber, securityCode, entryCode;
    int analogSlots, slotTypeByte, sensorSettings;
    int digitalRows, rows, voltageNames, systemName;
};

constexpr Layout kTwenty{607, 607, 1216, 1904, 688, 5,   6,  8,  10,  67,
                         68,  69,  78,   87,   177, 187, 10, 20, 588, 663};
constexpr Layout kEight{293, 293, 588, 926, 338, 4, 5, 7, 8, 65, 66, 67, 76, 85, 121, 125, 4, 8, 288, 313};
constexpr int kEightBypass = 586;
constexpr int kChecksumSize = 4;
constexpr int kSensorSettingsSize = 21;
constexpr int kAnalogSlotSize = 9;
constexpr int kNameField = 25;
constexpr int kCodeField = 9;
constexpr int kSensorNames = 88; // after the four telephone numbers, left empty

void PutFloat(QByteArray& image, int at, float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, image.data() + at);
}

float GetFloat(const QByteArray& image, int at)
{
    const quint32 bits = qFromLittleEndian<quint32>(image.constData() + at);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutU16(QByteArray& image, int at, int value)
{
    qToLittleEndian(quint16(value), image.data() + at);
}

void PutField(QByteArray& image, int at, int field, const QByteArray& bytes)
{
    const QByteArray text = bytes.left(field - 1);
    image.replace(at, text.size(), text);
    image[at + text.size()] = '\0';
}

void PutSensor(QByteArray& image, const Layout& l, int row, const ImageSensor& s)
{
    const int block = l.settingsAt;
    if (row < l.digitalRows) {
        image[block + l.slotTypeByte + row] = char(s.type);
    } else {
        const int slot = block + l.analogSlots + kAnalogSlotSize * (row - l.digitalRows);
        image[slot] = char(s.type);
        // Readings 0 at 4 mA and 100 at 20 mA.
        const float slope = 100.0f / 16.0f;
        PutFloat(image, slot + 1, -4.0f * slope);
        PutFloat(image, slot + 5, slope);
    }
    const int at = block + l.sensorSettings + kSensorSettingsSize * row;
    quint8 flags = 0x38; // event logging within and outside the limits, messages
    if (s.active)
        flags |= 0x01;
    if (s.maxInUse)
        flags |= 0x02;
    if (s.minInUse)
        flags |= 0x04;
    image[at] = char(flags);
    PutFloat(image, at + 1, s.maxLimit);
    PutFloat(image, at + 5, s.minLimit);
    PutFloat(image, at + 9, 0.0f);
    PutFloat(image, at + 13, 0.5f);
    PutU16(image, at + 17, 60);
    PutU16(image, at + 19, s.recordingRate);
    PutField(image, l.namesAt + kSensorNames + kNameField * row, kNameField, s.name);
}
} // namespace

QByteArray BuildSettingsImage(const ImageContents& contents)
{
    const Layout& l = contents.twentySensors ? kTwenty : kEight;
    QByteArray image(kSettingsImageSize, '\0');
    const int block = l.settingsAt;
    image[block + l.mainsFlags] = char(0x03);
    PutU16(image, block + l.mainsDelay, 60);
    image[block + l.mainsMode] = char(contents.mainsMode);
    image.replace(block + l.schedule, 7 * 8, QByteArray(7 * 8, char(0xFF)));
    image[block + l.ringCount] = char(2);
    image[block + l.systemNumber] = char(contents.systemNumber);
    PutField(image, block + l.securityCode, kCodeField, contents.securityCode.toLatin1());
    PutField(image, block + l.entryCode, kCodeField, contents.entryCode.toLatin1());
    ImageSensor unused;
    unused.active = false;
    for (int row = 0; row < l.rows; ++row)
        PutSensor(image, l, row, row < int(contents.sensors.size()) ? contents.sensors[row] : unused);
    PutField(image, l.namesAt + l.systemName, kNameField, contents.systemName);
    if (!contents.twentySensors) {
        image[kEightBypass] = char(1);
        image[kEightBypass + 1] = char(1);
    }
    qToLittleEndian(SettingsSum(image, contents.twentySensors), image.data() + l.settingsAt);
    // The unit keeps a mirror of both parts.
    image.replace(0, l.settingsSize, image.mid(l.settingsAt, l.settingsSize));
    image.replace(l.namesMirrorAt, l.namesSize, image.mid(l.namesAt, l.namesSize));
    return image;
}

ImageContents ReadImageContents(const QByteArray& image, bool twentySensors)
{
    const Layout& l = twentySensors ? kTwenty : kEight;
    ImageContents contents;
    contents.twentySensors = twentySensors;
    if (image.size() < kSettingsImageSize)
        return contents;
    const int block = l.settingsAt;
    contents.mainsMode = quint8(image[block + l.mainsMode]);
    for (int row = 0; row < l.rows; ++row) {
        ImageSensor s;
        s.type = quint8(
            image[row < l.digitalRows ? block + l.slotTypeByte + row
                                      : block + l.analogSlots + kAnalogSlotSize * (row - l.digitalRows)]);
        const int at = block + l.sensorSettings + kSensorSettingsSize * row;
        const quint8 flags = quint8(image[at]);
        s.active = flags & 0x01;
        s.maxInUse = flags & 0x02;
        s.minInUse = flags & 0x04;
        s.maxLimit = GetFloat(image, at + 1);
        s.minLimit = GetFloat(image, at + 5);
        s.recordingRate = qFromLittleEndian<quint16>(image.constData() + at + 19);
        contents.sensors.push_back(s);
    }
    return contents;
}

quint32 SettingsSum(const QByteArray& image, bool twentySensors)
{
    const Layout& l = twentySensors ? kTwenty : kEight;
    quint32 sum = 0;
    for (int i = l.settingsAt + kChecksumSize; i < l.settingsAt + l.settingsSize && i < image.size(); ++i)
        sum += quint8(image[i]);
    return sum;
}

bool SettingsChecksumHolds(const QByteArray& image, bool twentySensors)
{
    const Layout& l = twentySensors ? kTwenty : kEight;
    return image.size() >= l.settingsAt + kChecksumSize &&
           qFromLittleEndian<quint32>(image.constData() + l.settingsAt) == SettingsSum(image, twentySensors);
}

ImageContents DefaultImageContents(bool twentySensors, int activeSensors, int systemNumber)
{
    ImageContents contents;
    contents.twentySensors = twentySensors;
    contents.systemNumber = systemNumber;
    const int digitalRows = twentySensors ? kTwenty.digitalRows : kEight.digitalRows;
    const int rows = twentySensors ? kTwenty.rows : kEight.rows;
    for (int row = 0; row < rows; ++row) {
        ImageSensor s;
        s.type = row < digitalRows ? 2 : 0;
        s.active = row < activeSensors;
        // "ΘΑΛΑΜΟΣ" and the row's number.
        s.name = QByteArray("\xFF\x01", 2) + QByteArray::number(row + 1);
        contents.sensors.push_back(s);
    }
    return contents;
}

} // namespace unitsim
