#include "settings_form_fill.h"

#include "settings_number_text.h"

#include <link/field_bytes.h>
#include <link/float_codec.h>
#include <link/hex_text.h>
#include <link/int_codec.h>
#include <link/zstring.h>

namespace {

NameValue NameAt(std::span<const quint8> image, qsizetype start)
{
    return {ReadName(image, start), HexZString(FieldAt(image, start, kNameFieldSize), 0)};
}

QString TextAt(std::span<const quint8> image, qsizetype start, qsizetype width)
{
    return ReadZString(FieldAt(image, start, width), 0);
}

// A list position when the byte has an item in a list of count items from first on.
int PositionOf(int value, int first, int count)
{
    return value >= first && value < first + count ? value - first : kNoSelection;
}

// The sum is formed at the widest precision and rounded to single once: formed in single precision
// throughout, about one line in 2,000 would show another second decimal.
float CalibratedReading(float offset, float slope, float milliamperes)
{
    return float(static_cast<long double>(offset) + static_cast<long double>(milliamperes) * slope);
}

SensorRowValues RowAt(std::span<const quint8> image, const SettingsLayout& layout, int row)
{
    SensorRowValues v;
    const qsizetype r = layout.SensorSettingsAt(row);
    const quint8 flags = ByteAt(image, r + sensor_field::kFlags);
    const bool maxInUse = BitIsSet(flags, sensor_flag::kMaximumInUse);
    const bool minInUse = BitIsSet(flags, sensor_flag::kMinimumInUse);
    v.name = NameAt(image, layout.SensorNameAt(row));
    v.typeIndex = TypeIndexOf(layout, row, ByteAt(image, layout.SensorTypeAt(row)));
    v.maximum = maxInUse ? DecimalText(ReadFloat32(image, r + sensor_field::kMaximum)) : QString();
    v.minimum = minInUse ? DecimalText(ReadFloat32(image, r + sensor_field::kMinimum)) : QString();
    v.contactIndex = minInUse ? kContactClosed : maxInUse ? kContactOpen : kContactNone;
    v.rate = QString::number(ReadU16Clamp(image, r + sensor_field::kRecordingRate));
    v.deviation = DecimalText(ReadFloat32(image, r + sensor_field::kDeviation));
    v.hysteresis = DecimalText(ReadFloat32(image, r + sensor_field::kHysteresis));
    v.delay = QString::number(ReadU16Clamp(image, r + sensor_field::kOutOfLimitsDelay));
    v.logWithin = BitIsSet(flags, sensor_flag::kLogWithin);
    v.logOutside = BitIsSet(flags, sensor_flag::kLogOutside);
    v.messages = BitIsSet(flags, sensor_flag::kMessages);
    if (!layout.IsDigital(row)) {
        const qsizetype a = layout.AnalogSlotAt(row);
        const float offset = ReadFloat32(image, a + AnalogSlotRecord::kOffset);
        const float slope = ReadFloat32(image, a + AnalogSlotRecord::kSlope);
        v.reading4 = DecimalText(CalibratedReading(offset, slope, 4.0f));
        v.reading20 = DecimalText(CalibratedReading(offset, slope, 20.0f));
    }
    v.active = BitIsSet(flags, sensor_flag::kActive);
    return v;
}

} // namespace

bool IsBypassModel(const QString& model)
{
    for (const char* variant : {"TELVARON-1F", "TELVARON-1E", "TELVARON-1G"})
        if (model.contains(QLatin1String(variant), Qt::CaseSensitive))
            return true;
    return false;
}

int TypeIndexOf(const SettingsLayout& layout, int row, int code)
{
    return layout.IsDigital(row) ? PositionOf(code, TypeProbe, 3) : PositionOf(code, TypeTemperature, 6);
}

int TypeCodeAt(const SettingsLayout& layout, int row, int index)
{
    if (index < 0 || index >= (layout.IsDigital(row) ? 3 : 6))
        return kNoSelection;
    return layout.IsDigital(row) ? index + TypeProbe : index;
}

SettingsFormValues DecodeSettingsForm(int modelKind, const QString& model, std::span<const quint8> image)
{
    return DecodeSettingsFormOfVariant(modelKind, IsBypassModel(model), image);
}

SettingsFormValues DecodeSettingsFormOfVariant(int modelKind, bool bypassModel, std::span<const quint8> image)
{
    const SettingsLayout& layout = LayoutFor(modelKind);
    SettingsFormValues v;
    v.modelKind = layout.modelKind;
    if (layout.bypassHours >= 0) {
        const quint8 b = ByteAt(image, layout.bypassHours);
        v.bypassEnabled = bypassModel;
        v.bypassHours = v.bypassEnabled ? QString::number(b == 0 ? 1 : b) : QString();
        v.sg2FiveVolt = v.bypassEnabled || b == 0;
    } else {
        const quint8 b = ByteAt(image, layout.bypassByte);
        v.bypassHours = QString::number(b == 0 ? 1 : b);
    }

    for (int row = 0; row < layout.inputs.sensors; ++row)
        v.rows.push_back(RowAt(image, layout, row));

    for (int k = 0; k < layout.inputs.VoltageNames(); ++k)
        v.voltageNames.push_back(NameAt(image, layout.VoltageNameAt(k)));
    v.mainsModeIndex = PositionOf(ByteAt(image, layout.mainsMode), 0, layout.inputs.voltageInputs);
    v.mainsDelay = QString::number(ReadU16Clamp(image, layout.mainsDelay));
    const quint8 mainsFlags = ByteAt(image, layout.mainsFlags);
    v.mainsLog = BitIsSet(mainsFlags, mains_flag::kLogEvents);
    v.mainsMessages = BitIsSet(mainsFlags, mains_flag::kMessages);

    for (int k = 0; k < kPhoneCount; ++k)
        v.phones[k] = TextAt(image, layout.PhoneEntryAt(k), PhoneEntry::kSize);
    // The count's position, unchecked: 1 selects nothing and goes back as 1, a count no list
    // position can give is refused by the writer until the operator chooses.
    v.ringIndex = ByteAt(image, layout.ringCount) - 2;
    for (int day = 0; day < kScheduleDays; ++day)
        for (int j = 0; j < kScheduleDaySize; ++j) {
            const quint8 b = ByteAt(image, layout.ScheduleAt(day) + j);
            const int count = j % 2 == 0 ? 24 : 60;
            v.schedule[2 * day + j / 4][j % 4] = b == kScheduleUnset ? 0 : b < count ? b + 1 : kNoSelection;
        }

    v.systemNumber = QString::number(ByteAt(image, layout.systemNumber));
    v.systemName = NameAt(image, layout.systemName);
    const QString entry = TextAt(image, layout.entryCode, kCodeFieldSize);
    const QString security = TextAt(image, layout.securityCode, kCodeFieldSize);
    v.entryCode = {entry, entry};
    v.securityCode = {security, security};
    return v;
}
