#include "settings_writer.h"

#include "settings_form_fill.h"
#include "settings_number_text.h"

#include <link/field_bytes.h>
#include <link/float_codec.h>
#include <link/int_codec.h>
#include <link/zstring.h>

#include <algorithm>

namespace {
// The bits of a sensor's flags byte that no control of the dialog sets.
constexpr quint8 kSensorFlagsNoControlSets = 0xC0;

QString Invalid(const QString& field)
{
    return QStringLiteral("Εντοπίστηκε μη έγκυρη τιμή στο '%1' !").arg(field);
}

QString RowField(int row, const char* column)
{
    return QStringLiteral("%1' του 'Αισθητήριο %2").arg(QString::fromUtf8(column)).arg(row + 1);
}

const QString kScheduleRefusal =
    QStringLiteral("Εντοπίστηκε μη έγκυρη επιλογή στo 'Ωράριο Αυτόματης Τηλεφωνικής Ειδοποίησης' !");
const QString kEntryMismatch = QStringLiteral("Εντοπίστηκε ασυμφωνία μεταξύ των πεδίων 'Κωδικός Εισόδου' και "
                                              "'Επιβεβαίωση Κωδικού Εισόδου' στο 'Κωδικοί Συστήματος' !");
const QString kSecurityMismatch =
    QStringLiteral("Εντοπίστηκε ασυμφωνία μεταξύ των πεδίων 'Κωδικός Ασφαλείας' "
                   "και 'Επιβεβαίωση Κωδικού Ασφαλείας' στο 'Κωδικοί Συστήματος' !");

bool InRange(const QString& text, int low, int high)
{
    const auto n = ParseWhole(text);
    return n && *n >= low && *n <= high;
}

bool IsCode(const QString& code)
{
    return code.size() >= 4 && code.size() <= 8 && ParseWhole(code).has_value();
}

bool IsContact(int code)
{
    return code == TypeContact || code == TypeContactNormallyOpen;
}

bool FitsZString(const QString& text, qsizetype width)
{
    quint8 field[64] = {};
    return width <= qsizetype(sizeof field) && WriteZString(std::span(field, std::size_t(width)), 0, text);
}

std::optional<QString> CheckRow(const SettingsLayout& layout, int row, const SensorRowValues& v)
{
    const int code = TypeCodeAt(layout, row, v.typeIndex);
    if (code == kNoSelection)
        return Invalid(RowField(row, "Τύπος"));
    const auto maximum = ParseDecimal(v.maximum);
    const auto minimum = ParseDecimal(v.minimum);
    if (IsContact(code)) {
        if (v.contactIndex < kContactNone || v.contactIndex > kContactClosed)
            return Invalid(RowField(row, "Τύπος"));
    } else {
        if (!v.maximum.isEmpty() && !maximum)
            return Invalid(RowField(row, "Μέγιστο Όριο"));
        if (!v.minimum.isEmpty() && !minimum)
            return Invalid(RowField(row, "Ελάχιστο Όριο"));
        if (maximum && minimum && *maximum < *minimum + 1)
            return Invalid(RowField(row, "Μέγιστο Όριο"));
    }
    if (!InRange(v.rate, 0, 65535))
        return Invalid(RowField(row, "Ρυθμός Καταγραφής"));
    if (!ParseDecimal(v.deviation))
        return Invalid(RowField(row, "Απόκλιση"));
    if (!ParseDecimal(v.hysteresis))
        return Invalid(RowField(row, "Υστέριση Ορίων"));
    if (!InRange(v.delay, 0, 65535))
        return Invalid(RowField(row, "Καθυστέρηση Εκτός Ορίων"));
    if (!layout.IsDigital(row) && ((!v.reading4.isEmpty() && !ParseDecimal(v.reading4)) ||
                                   (!v.reading20.isEmpty() && !ParseDecimal(v.reading20))))
        return Invalid(RowField(row, "Ένδειξη 4mA"));
    if (!NameCodeBytes(v.name.tag))
        return Invalid(RowField(row, "Όνομα Σημείου"));
    return std::nullopt;
}

std::optional<QString> CheckSchedule(const SettingsFormValues& v)
{
    for (const SchedulePeriod& p : v.schedule) {
        const bool anySet = std::any_of(p.begin(), p.end(), [](int i) { return i != 0; });
        if (!anySet)
            continue;
        if (std::any_of(p.begin(), p.end(), [](int i) { return i <= 0; }))
            return kScheduleRefusal;
        if (p[2] < p[0] || (p[2] == p[0] && p[3] < p[1]))
            return kScheduleRefusal;
    }
    return std::nullopt;
}

// The typed decimal itself: the float codec forms the unit's pattern from its decimal digits,
// which a value already rounded to single precision no longer has.
double Number(const QString& text, double empty)
{
    return ParseDecimal(text).value_or(empty);
}

// The operator's entries written over the unit's bytes. An entry that still reads as the dialog
// showed it keeps the unit's bytes, since the text shown may stand for other bytes than its
// encoding gives: a decimal rounded to two places, a 16-bit value shown clamped to 32767, a
// character the code page lacks.
class EntryWriter
{
public:
    explicit EntryWriter(std::span<quint8> image) : image_(image) {}

    template <typename Entry> static bool Edited(const Entry& entry, const Entry& shown)
    {
        return entry != shown;
    }

    // A byte made from controls (toggles, a choice, a number) that read as the dialog showed them
    // keeps the unit's byte, which may hold what no control shows: flag bits of no control, two
    // contact states at once, bypass hours of 0 shown as 1, an SG-2 byte other than 0 and 1.
    template <typename Entry>
    void Byte(qsizetype at, const Entry& entry, const Entry& shown, quint8 encoded) const
    {
        if (Edited(entry, shown))
            image_[std::size_t(at)] = encoded;
    }

    void Decimal(qsizetype at, const QString& entry, const QString& shown) const
    {
        if (Edited(entry, shown))
            WriteFloat32(image_, at, Number(entry, 0));
    }
    void Whole16(qsizetype at, const QString& entry, const QString& shown) const
    {
        if (Edited(entry, shown))
            WriteU16(image_, at, ParseWhole(entry).value_or(0));
    }
    void Text(qsizetype at, qsizetype width, const QString& entry, const QString& shown) const
    {
        if (Edited(entry, shown))
            WriteZString(FieldAt(image_, at, width), 0, entry);
    }
    // The calibration line through the readings at 4 and 20 mA, worked out anew when either of
    // them was edited.
    void Calibration(qsizetype slot, const SensorRowValues& v, const SensorRowValues& shown) const
    {
        if (!Edited(v.reading4, shown.reading4) && !Edited(v.reading20, shown.reading20))
            return;
        const double r4 = Number(v.reading4, 0);
        const double r20 = Number(v.reading20, 100);
        const double slope = (r20 - r4) / 16;
        WriteFloat32(image_, slot + AnalogSlotRecord::kSlope, slope);
        WriteFloat32(image_, slot + AnalogSlotRecord::kOffset, r4 - 4 * slope);
    }

private:
    std::span<quint8> image_;
};

void WriteName(std::span<quint8> image, qsizetype start, const QString& tag)
{
    const QByteArray bytes = NameCodeBytes(tag).value_or(QByteArray()) + '\0';
    const auto field = FieldAt(image, start, kNameFieldSize);
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), qsizetype(field.size())), field.begin());
}

// The flags byte as the controls of a row of the given type give it; no control has bits 6 and 7,
// which stay as the unit holds them.
quint8 SensorFlags(int code, const SensorRowValues& v, quint8 held)
{
    quint8 flags = held & kSensorFlagsNoControlSets;
    if (IsContact(code)) {
        if (v.contactIndex == kContactOpen)
            SetBit(flags, sensor_flag::kMaximumInUse);
        if (v.contactIndex == kContactClosed)
            SetBit(flags, sensor_flag::kMinimumInUse);
    } else {
        if (!v.maximum.isEmpty())
            SetBit(flags, sensor_flag::kMaximumInUse);
        if (!v.minimum.isEmpty())
            SetBit(flags, sensor_flag::kMinimumInUse);
    }
    const std::pair<bool, int> bits[] = {{v.active, sensor_flag::kActive},
                                         {v.logOutside, sensor_flag::kLogOutside},
                                         {v.logWithin, sensor_flag::kLogWithin},
                                         {v.messages, sensor_flag::kMessages}};
    for (const auto& [on, bit] : bits)
        if (on)
            SetBit(flags, bit);
    return flags;
}

// Bits 2 to 7 clear.
quint8 MainsFlags(const SettingsFormValues& v)
{
    quint8 flags = 0;
    if (v.mainsLog)
        SetBit(flags, mains_flag::kLogEvents);
    if (v.mainsMessages)
        SetBit(flags, mains_flag::kMessages);
    return flags;
}

// shown is what the dialog showed for the row.
void WriteRow(std::span<quint8> image, const SettingsLayout& layout, int row, const SensorRowValues& v,
              const SensorRowValues& shown)
{
    const EntryWriter entries(image);
    const int code = TypeCodeAt(layout, row, v.typeIndex);
    const qsizetype r = layout.SensorSettingsAt(row);
    const quint8 held = image[std::size_t(r + sensor_field::kFlags)];
    const quint8 flags = SensorFlags(code, v, held);
    entries.Byte(r + sensor_field::kFlags, flags,
                 SensorFlags(TypeCodeAt(layout, row, shown.typeIndex), shown, held), flags);
    image[std::size_t(layout.SensorTypeAt(row))] = quint8(code);
    entries.Decimal(r + sensor_field::kMaximum, v.maximum, shown.maximum);
    entries.Decimal(r + sensor_field::kMinimum, v.minimum, shown.minimum);
    entries.Whole16(r + sensor_field::kRecordingRate, v.rate, shown.rate);
    entries.Decimal(r + sensor_field::kDeviation, v.deviation, shown.deviation);
    entries.Decimal(r + sensor_field::kHysteresis, v.hysteresis, shown.hysteresis);
    entries.Whole16(r + sensor_field::kOutOfLimitsDelay, v.delay, shown.delay);
    if (!layout.IsDigital(row))
        entries.Calibration(layout.AnalogSlotAt(row), v, shown);
    WriteName(image, layout.SensorNameAt(row), v.name.tag);
}

} // namespace

std::optional<QByteArray> NameCodeBytes(const QString& tag)
{
    if (tag.size() % 2 != 0 || !tag.endsWith(QStringLiteral("00")))
        return std::nullopt;
    QByteArray bytes;
    for (qsizetype i = 0; i + 2 < tag.size(); i += 2) {
        bool ok = false;
        const uint b = tag.mid(i, 2).toUInt(&ok, 16);
        if (!ok || b == 0)
            return std::nullopt;
        bytes.append(char(b));
    }
    return bytes;
}

std::optional<QString> CheckSettingsForm(const SettingsFormValues& v)
{
    const SettingsLayout& layout = LayoutFor(v.modelKind);
    if (int(v.rows.size()) != layout.inputs.sensors ||
        int(v.voltageNames.size()) != layout.inputs.VoltageNames())
        return Invalid(QStringLiteral("Ρυθμίσεις Αισθητηρίων"));
    for (int row = 0; row < layout.inputs.sensors; ++row)
        if (auto refusal = CheckRow(layout, row, v.rows[std::size_t(row)]))
            return refusal;
    const QString bypass = QStringLiteral("Διάρκεια παράκαμψης αισθητηρίου (ώρες)");
    if (layout.bypassHours >= 0 && v.bypassEnabled && !InRange(v.bypassHours, 1, 255))
        return Invalid(bypass);
    if (layout.bypassHours < 0 && !v.bypassHours.isEmpty() && !InRange(v.bypassHours, 0, 255))
        return Invalid(bypass);

    if (!InRange(v.mainsDelay, 1, 1440))
        return Invalid(QStringLiteral("Καθυστέρηση Διακοπής"));
    if (v.mainsModeIndex < 0 || v.mainsModeIndex > layout.inputs.VoltageNames())
        return Invalid(QStringLiteral("Παρακολούθηση Δικτύου Ρεύματος"));
    for (const NameValue& name : v.voltageNames)
        if (!NameCodeBytes(name.tag))
            return Invalid(QStringLiteral("Όνομα Τάσης"));

    // Position -1, nothing selected, is the ring count 1 that the unit may hold.
    if (v.ringIndex < -1 || v.ringIndex > 13)
        return Invalid(QStringLiteral("Αριθμός Χτύπων Τηλεφώνου"));
    if (auto refusal = CheckSchedule(v))
        return refusal;
    for (const QString& phone : v.phones)
        if (!FitsZString(phone, PhoneEntry::kSize))
            return Invalid(QStringLiteral("Τηλέφωνα Ειδοποίησης"));

    if (!InRange(v.systemNumber, 1, 255))
        return Invalid(QStringLiteral("Αριθμός Συστήματος"));
    if (v.entryCode[0] != v.entryCode[1])
        return kEntryMismatch;
    if (v.securityCode[0] != v.securityCode[1])
        return kSecurityMismatch;
    if (!IsCode(v.entryCode[0]))
        return Invalid(QStringLiteral("Κωδικός Εισόδου"));
    if (!IsCode(v.securityCode[0]))
        return Invalid(QStringLiteral("Κωδικός Ασφαλείας"));
    if (!NameCodeBytes(v.systemName.tag))
        return Invalid(QStringLiteral("Όνομα Συστήματος"));
    return std::nullopt;
}

bool EncodeSettingsForm(const SettingsFormValues& v, std::span<quint8> out)
{
    if (CheckSettingsForm(v) || out.size() != std::size_t(kSettingsImageSize))
        return false;
    const SettingsLayout& layout = LayoutFor(v.modelKind);
    SettingsImage image;
    std::copy(out.begin(), out.end(), image.begin());

    const SettingsFormValues shown = DecodeSettingsFormOfVariant(v.modelKind, v.bypassEnabled, out);
    const EntryWriter entries(image);
    for (int row = 0; row < layout.inputs.sensors; ++row)
        WriteRow(image, layout, row, v.rows[std::size_t(row)], shown.rows[std::size_t(row)]);

    if (layout.bypassHours < 0)
        entries.Byte(layout.bypassByte, v.bypassHours, shown.bypassHours,
                     v.bypassHours.isEmpty() ? 1 : quint8(v.bypassHours.toInt()));
    else if (v.bypassEnabled)
        entries.Byte(layout.bypassHours, v.bypassHours, shown.bypassHours, quint8(v.bypassHours.toInt()));
    else
        entries.Byte(layout.bypassHours, v.sg2FiveVolt, shown.sg2FiveVolt, v.sg2FiveVolt ? 0 : 1);

    image[layout.mainsMode] = quint8(v.mainsModeIndex);
    entries.Whole16(layout.mainsDelay, v.mainsDelay, shown.mainsDelay);
    const quint8 mainsFlags = MainsFlags(v);
    entries.Byte(layout.mainsFlags, mainsFlags, MainsFlags(shown), mainsFlags);
    for (int k = 0; k < layout.inputs.VoltageNames(); ++k)
        WriteName(image, layout.VoltageNameAt(k), v.voltageNames[std::size_t(k)].tag);

    image[layout.ringCount] = quint8(v.ringIndex + 2);
    for (int day = 0; day < kScheduleDays; ++day)
        for (int j = 0; j < kScheduleDaySize; ++j) {
            const int index = v.schedule[std::size_t(2 * day + j / 4)][std::size_t(j % 4)];
            image[layout.ScheduleAt(day) + j] = index == 0 ? kScheduleUnset : quint8(index - 1);
        }
    for (int k = 0; k < kPhoneCount; ++k)
        entries.Text(layout.PhoneEntryAt(k), PhoneEntry::kSize, v.phones[k], shown.phones[k]);

    image[layout.systemNumber] = quint8(v.systemNumber.toInt());
    entries.Text(layout.entryCode, kCodeFieldSize, v.entryCode[0], shown.entryCode[0]);
    entries.Text(layout.securityCode, kCodeFieldSize, v.securityCode[0], shown.securityCode[0]);
    WriteName(image, layout.systemName, v.systemName.tag);

    SealSettingsImage(image, layout);
    std::copy(image.begin(), image.end(), out.begin());
    return true;
}

quint32 SettingsChecksum(std::span<const quint8> image, const SettingsLayout& layout)
{
    const auto block = FieldAt(image, layout.settingsBlock + 4, layout.settingsBlockSize - 4);
    quint32 sum = 0;
    for (const quint8 b : block)
        sum += b;
    return sum;
}

void SealSettingsImage(std::span<quint8> image, const SettingsLayout& layout)
{
    WriteLittleEndian(image, layout.settingsBlock, 4, SettingsChecksum(image, layout));
    const auto copyBlock = [&](qsizetype from, qsizetype to, qsizetype size) {
        const auto source = FieldAt(image, from, size);
        const auto target = FieldAt(image, to, size);
        if (!source.empty() && !target.empty())
            std::copy(source.begin(), source.end(), target.begin());
    };
    copyBlock(layout.settingsBlock, layout.settingsMirror, layout.settingsBlockSize);
    copyBlock(layout.namesBlock, layout.namesMirror, layout.namesBlockSize);
    if (layout.bypassByte >= 0)
        copyBlock(layout.bypassByte, layout.bypassCopy, 1);
}
