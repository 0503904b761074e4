#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <span>

// The unit's 4096-byte settings memory and where each part of it lies. The settings writer
// fills one copy of the settings block and of the names block and mirrors both; readers
// look only at the filled copies.

constexpr qsizetype kSettingsImageSize = 4096;
using SettingsImage = std::array<quint8, kSettingsImageSize>;

// 0: a "TELVARON-1" model; 1: any other model.
constexpr int kTwentySensorModel = 0;
constexpr int kEightSensorModel = 1;
int ModelKindOf(const QString& model);

// Sensor type codes, as the image stores them.
enum SensorTypeCode : quint8 {
    TypeTemperature = 0, // 4-20 mA
    TypeHumidity = 1,    // 4-20 mA
    TypeProbe = 2,
    TypeContact = 3,
    TypeContactNormallyOpen = 4,
    TypePressure = 5, // 4-20 mA
};

constexpr qsizetype kNameFieldSize = 25;
constexpr qsizetype kCodeFieldSize = 9;
constexpr int kPhoneCount = 4;
constexpr int kScheduleDays = 7;
constexpr qsizetype kScheduleDaySize = 8;
constexpr qsizetype kSensorSettingsSize = 21;
constexpr qsizetype kAnalogSlotSize = 9;
constexpr quint8 kScheduleUnset = 255;

// A telephone number: a 0-terminated text of at most 21 characters.
namespace PhoneEntry {
constexpr qsizetype kSize = 22;
} // namespace PhoneEntry

// Within a sensor's settings record.
namespace sensor_field {
constexpr qsizetype kFlags = 0;
constexpr qsizetype kMaximum = 1;
constexpr qsizetype kMinimum = 5;
constexpr qsizetype kDeviation = 9;
constexpr qsizetype kHysteresis = 13;
constexpr qsizetype kOutOfLimitsDelay = 17;
constexpr qsizetype kRecordingRate = 19;
} // namespace sensor_field

// Bits of a sensor's flags byte.
namespace sensor_flag {
constexpr int kActive = 0;
constexpr int kMaximumInUse = 1; // a contact: open
constexpr int kMinimumInUse = 2; // a contact: closed
constexpr int kLogOutside = 3;
constexpr int kLogWithin = 4;
constexpr int kMessages = 5;
} // namespace sensor_flag

// Within an analog slot record.
namespace AnalogSlotRecord {
constexpr qsizetype kType = 0;
constexpr qsizetype kOffset = 1; // reading at 0 mA
constexpr qsizetype kSlope = 5;  // reading change per mA
} // namespace AnalogSlotRecord

// Bits of the mains flags byte.
namespace mains_flag {
constexpr int kLogEvents = 0;
constexpr int kMessages = 1;
} // namespace mains_flag

// The inputs a kind of model has. Voltage input 1 is the supply, which has no name.
struct ModelInputs
{
    int sensors;
    int voltageInputs;

    constexpr int VoltageNames() const { return voltageInputs - 1; }
};
constexpr ModelInputs kTwentySensorInputs{.sensors = 20, .voltageInputs = 4};
constexpr ModelInputs kEightSensorInputs{.sensors = 8, .voltageInputs = 2};

struct SettingsLayout
{
    int modelKind;
    ModelInputs inputs;
    int digitalCount; // rows 0 .. digitalCount-1 are digital, the rest analog

    qsizetype settingsBlock;     // filled copy
    qsizetype settingsMirror;    // mirror copy
    qsizetype settingsBlockSize; // starts with the 4-byte checksum
    qsizetype namesBlock;        // filled copy
    qsizetype namesMirror;       // mirror copy
    qsizetype namesBlockSize;
    qsizetype bypassHours; // -1 when the layout keeps no such byte in the settings block
    qsizetype bypassByte;  // -1 when the layout keeps it inside the settings block
    qsizetype bypassCopy;  // -1 likewise

    qsizetype mainsFlags;
    qsizetype mainsDelay;
    qsizetype mainsMode; // voltage inputs monitored besides the supply
    qsizetype schedule;  // Sunday first
    qsizetype ringCount;
    qsizetype systemNumber;
    qsizetype securityCode;
    qsizetype entryCode;
    qsizetype analogSlots;    // first analog row's record
    qsizetype slotTypeByte;   // the first digital row's
    qsizetype sensorSettings; // row 0's record

    qsizetype phones;
    qsizetype sensorNames;
    qsizetype voltageNames;
    qsizetype systemName;

    bool IsDigital(int row) const { return row >= 0 && row < digitalCount; }
    qsizetype SensorSettingsAt(int row) const { return sensorSettings + kSensorSettingsSize * row; }
    // The byte that holds the row's type: its SlotTypeByte or byte 0 of its analog record.
    qsizetype SensorTypeAt(int row) const
    {
        return IsDigital(row) ? SlotTypeByteAt(row) : AnalogSlotAt(row) + AnalogSlotRecord::kType;
    }
    // -1 for an analog row.
    qsizetype SlotTypeByteAt(int row) const { return IsDigital(row) ? slotTypeByte + row : -1; }
    // -1 for a digital row.
    qsizetype AnalogSlotAt(int row) const
    {
        return IsDigital(row) ? -1 : analogSlots + kAnalogSlotSize * (row - digitalCount);
    }
    qsizetype SensorNameAt(int row) const { return sensorNames + kNameFieldSize * row; }
    qsizetype VoltageNameAt(int k) const { return voltageNames + kNameFieldSize * k; }
    qsizetype PhoneEntryAt(int k) const { return phones + PhoneEntry::kSize * k; }
    qsizetype ScheduleAt(int day) const { return schedule + kScheduleDaySize * day; }
};

extern const SettingsLayout TwentySensorLayout;
extern const SettingsLayout EightSensorLayout;

// 0 the twenty-sensor layout, any other kind the eight-sensor one.
const SettingsLayout& LayoutFor(int modelKind);

// What a newly added unit's rows are made of. Every reader stops at the image's end and
// never reads past a field; a text field without its 0 byte ends at the field's end.
struct SensorSlot
{
    quint8 typeCode = 0;
    QString name;
    float maximum = 0;
    float minimum = 0;
    bool maximumInUse = false;
    bool minimumInUse = false;
    bool inUse = false; // the active flag
};

SensorSlot ReadSensorSlot(std::span<const quint8> image, const SettingsLayout& layout, int row);
int ReadSystemNumber(std::span<const quint8> image, const SettingsLayout& layout);
QString ReadSystemName(std::span<const quint8> image, const SettingsLayout& layout);
int ReadMainsMode(std::span<const quint8> image, const SettingsLayout& layout);
QString ReadSecurityCode(std::span<const quint8> image, const SettingsLayout& layout);
// The display text of the name field at start, as the unit shows it; the field's end ends it as a
// 0 byte would. Every name the server shows or stores is read here.
QString ReadName(std::span<const quint8> image, qsizetype start);
