#include "settings_image_layout.h"

#include <link/device_text.h>
#include <link/field_bytes.h>
#include <link/float_codec.h>
#include <link/int_codec.h>
#include <link/zstring.h>

int ModelKindOf(const QString& model)
{
    return model.contains(QStringLiteral("TELVARON-1"), Qt::CaseSensitive) ? kTwentySensorModel
                                                                           : kEightSensorModel;
}

const SettingsLayout TwentySensorLayout{
    .modelKind = kTwentySensorModel,
    .inputs = kTwentySensorInputs,
    .digitalCount = 10,
    .settingsBlock = 607,
    .settingsMirror = 0,
    .settingsBlockSize = 607,
    .namesBlock = 1216,
    .namesMirror = 1904,
    .namesBlockSize = 688,
    .bypassHours = 611,
    .bypassByte = -1,
    .bypassCopy = -1,
    .mainsFlags = 612,
    .mainsDelay = 613,
    .mainsMode = 615,
    .schedule = 617,
    .ringCount = 674,
    .systemNumber = 675,
    .securityCode = 676,
    .entryCode = 685,
    .analogSlots = 694,
    .slotTypeByte = 784,
    .sensorSettings = 794,
    .phones = 1216,
    .sensorNames = 1304,
    .voltageNames = 1804,
    .systemName = 1879,
};

const SettingsLayout EightSensorLayout{
    .modelKind = kEightSensorModel,
    .inputs = kEightSensorInputs,
    .digitalCount = 4,
    .settingsBlock = 293,
    .settingsMirror = 0,
    .settingsBlockSize = 293,
    .namesBlock = 588,
    .namesMirror = 926,
    .namesBlockSize = 338,
    .bypassHours = -1,
    .bypassByte = 586,
    .bypassCopy = 587,
    .mainsFlags = 297,
    .mainsDelay = 298,
    .mainsMode = 300,
    .schedule = 301,
    .ringCount = 358,
    .systemNumber = 359,
    .securityCode = 360,
    .entryCode = 369,
    .analogSlots = 378,
    .slotTypeByte = 414,
    .sensorSettings = 418,
    .phones = 588,
    .sensorNames = 676,
    .voltageNames = 876,
    .systemName = 901,
};

const SettingsLayout& LayoutFor(int modelKind)
{
    return modelKind == kTwentySensorModel ? TwentySensorLayout : EightSensorLayout;
}

QString ReadName(std::span<const quint8> image, qsizetype start)
{
    // The whole field goes to the decoder: the byte after 255 is a word number even when it is 0,
    // so a 0 byte does not always end the name.
    return DecodeDeviceText(FieldAt(image, start, kNameFieldSize), 0);
}

SensorSlot ReadSensorSlot(std::span<const quint8> image, const SettingsLayout& layout, int row)
{
    SensorSlot slot;
    if (row < 0 || row >= layout.inputs.sensors)
        return slot;
    const qsizetype settings = layout.SensorSettingsAt(row);
    const quint8 flags = ByteAt(image, settings + sensor_field::kFlags);
    slot.typeCode = ByteAt(image, layout.SensorTypeAt(row));
    slot.name = ReadName(image, layout.SensorNameAt(row));
    slot.maximum = ReadFloat32(image, settings + sensor_field::kMaximum);
    slot.minimum = ReadFloat32(image, settings + sensor_field::kMinimum);
    slot.maximumInUse = BitIsSet(flags, sensor_flag::kMaximumInUse);
    slot.minimumInUse = BitIsSet(flags, sensor_flag::kMinimumInUse);
    slot.inUse = BitIsSet(flags, sensor_flag::kActive);
    return slot;
}

int ReadSystemNumber(std::span<const quint8> image, const SettingsLayout& layout)
{
    return ByteAt(image, layout.systemNumber);
}

QString ReadSystemName(std::span<const quint8> image, const SettingsLayout& layout)
{
    return ReadName(image, layout.systemName);
}

int ReadMainsMode(std::span<const quint8> image, const SettingsLayout& layout)
{
    return ByteAt(image, layout.mainsMode);
}

QString ReadSecurityCode(std::span<const quint8> image, const SettingsLayout& layout)
{
    return ReadZString(FieldAt(image, layout.securityCode, kCodeFieldSize), 0);
}
