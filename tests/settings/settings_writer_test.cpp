#include "sample_image.h"

#include <link/float_codec.h>
#include <settings/settings_form_fill.h>
#include <settings/settings_writer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

SettingsFormValues Sample(const MemoryMap& m)
{
    const SettingsImage image = SampleImage(m);
    return DecodeSettingsForm(m.kind, m.model, image);
}

// Each spoils one entry; applied together, the refusals come one by one in this order.
struct Spoil
{
    const char* message;
    std::function<void(SettingsFormValues&)> apply;
};

TEST(SettingsWriter, RefusesInTheDialogsOrder)
{
    const Spoil spoils[] = {
        {"'Τύπος' του 'Αισθητήριο 1'", [](auto& v) { v.rows[0].typeIndex = -1; }},
        {"'Μέγιστο Όριο' του 'Αισθητήριο 11'",
         [](auto& v) {
             v.rows[10].maximum = "10";
             v.rows[10].minimum = "9.5";
         }},
        {"'Διάρκεια παράκαμψης αισθητηρίου (ώρες)'", [](auto& v) { v.bypassHours = "256"; }},
        {"'Καθυστέρηση Διακοπής'", [](auto& v) { v.mainsDelay = "1441"; }},
        {"'Παρακολούθηση Δικτύου Ρεύματος'", [](auto& v) { v.mainsModeIndex = -1; }},
        {"'Αριθμός Χτύπων Τηλεφώνου'", [](auto& v) { v.ringIndex = -2; }},
        {"'Ωράριο Αυτόματης Τηλεφωνικής Ειδοποίησης'", [](auto& v) { v.schedule[3][2] = 0; }},
        {"'Τηλέφωνα Ειδοποίησης'", [](auto& v) { v.phones[2] = QString(22, '1'); }},
        {"'Αριθμός Συστήματος'", [](auto& v) { v.systemNumber = "0"; }},
        {"'Κωδικός Εισόδου' και 'Επιβεβαίωση", [](auto& v) { v.entryCode[1] = "1235"; }},
        {"'Κωδικός Ασφαλείας' και 'Επιβεβαίωση", [](auto& v) { v.securityCode[1] = "1"; }},
        {"'Κωδικός Εισόδου' !",
         [](auto& v) {
             v.entryCode = {"12a4", "12a4"};
         }},
        {"'Κωδικός Ασφαλείας' !",
         [](auto& v) {
             v.securityCode = {"123", "123"};
         }},
    };
    const SettingsFormValues good = Sample(TwentyMap());
    // With entries n and later spoiled (an earlier spoil winning a shared field), entry n is
    // the first refused.
    const auto spoiledFrom = [&](std::size_t n) {
        SettingsFormValues v = good;
        for (std::size_t j = std::size(spoils); j-- > n;)
            spoils[j].apply(v);
        return v;
    };
    SettingsImage image{};
    const SettingsImage untouched = image;
    EXPECT_FALSE(EncodeSettingsForm(spoiledFrom(0), image));
    EXPECT_EQ(image, untouched);
    for (std::size_t n = 0; n < std::size(spoils); ++n) {
        const auto refusal = CheckSettingsForm(spoiledFrom(n));
        ASSERT_TRUE(refusal.has_value()) << n;
        EXPECT_TRUE(refusal->contains(QString::fromUtf8(spoils[n].message))) << refusal->toStdString();
    }
    const SettingsFormValues v = good;
    EXPECT_EQ(CheckSettingsForm(v), std::nullopt);
}

TEST(SettingsWriter, ScheduleRules)
{
    const struct
    {
        SchedulePeriod period;
        bool passes;
    } cases[] = {{{0, 0, 0, 0}, true},     {{11, 31, 11, 31}, true}, {{11, 31, 11, 30}, false},
                 {{11, 1, 10, 59}, false}, {{1, 0, 1, 1}, false},    {{1, 1, 2, 1}, true}};
    for (const auto& c : cases) {
        SettingsFormValues v = Sample(EightMap());
        v.schedule[5] = c.period;
        EXPECT_EQ(!CheckSettingsForm(v).has_value(), c.passes);
    }
}

TEST(SettingsWriter, EncodesControlsIntoTheirBytes)
{
    SettingsFormValues v = Sample(TwentyMap());
    v.bypassEnabled = false; // an SG-2 model, 5 V chosen over the 12 V that 7 shows
    v.sg2FiveVolt = true;
    v.rows[12].reading4 = "";
    v.rows[12].reading20 = "";
    v.rows[3].typeIndex = 1; // a contact, closed
    v.rows[3].contactIndex = 2;
    v.rows[3].maximum = "";
    v.rows[3].minimum = "";
    v.systemName.tag = "80FF0300";
    SettingsImage image = SampleImage(TwentyMap());
    ASSERT_TRUE(EncodeSettingsForm(v, image));
    EXPECT_EQ(image[611], 0);
    // An empty calibration is 0 and 100: slope 6.25 at +5, offset -25 at +1.
    EXPECT_EQ(QByteArray((const char*)&image[694 + 18], 9).toHex(), "010000c8c10000c840");
    EXPECT_EQ(image[787], 3);
    EXPECT_EQ(image[794 + 63] & 6, 4);
    EXPECT_EQ(QByteArray((const char*)&image[1879], 4).toHex(), "80ff0300");
    // Mirrors and checksum.
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 607, image.begin() + 607));
    EXPECT_TRUE(std::equal(image.begin() + 1216, image.begin() + 1216 + 688, image.begin() + 1904));
    EXPECT_EQ(image[607] | image[608] << 8 | image[609] << 16 | image[610] << 24,
              SettingsChecksum(image, TwentySensorLayout));
}

QByteArray BytesAt(const SettingsImage& image, int at, int size)
{
    return QByteArray(reinterpret_cast<const char*>(&image[std::size_t(at)]), size);
}

// Decimal entries with no exact binary form go to the unit as it stores them itself: cut to
// 24 bits, never rounded to the nearest single. A limit, deviation or hysteresis is the entry
// itself; a calibration is the offset and slope that give the readings typed at 4 and 20 mA.
TEST(SettingsWriter, WritesDecimalEntriesAsTheUnitStoresThem)
{
    const MemoryMap& m = TwentyMap();
    constexpr int row = 10; // an analog row, not a contact
    const int r = m.sensors + 21 * row;
    const int a = m.analog + 9 * (row - m.digital);
    using Row = SensorRowValues;
    const auto entry = [](QString Row::*field, const char* text) {
        return [=](Row& v) { v.*field = QString::fromLatin1(text); };
    };
    const auto readings = [](const char* at4, const char* at20) {
        return [=](Row& v) {
            v.reading4 = QString::fromLatin1(at4);
            v.reading20 = QString::fromLatin1(at20);
        };
    };
    struct Case
    {
        std::function<void(Row&)> enter;
        int at;
        const char* hex;
    };
    std::vector<Case> cases{
        {readings("-3.7", "8.3"), a + 1, "6666D6C00000403F"},   // -6.7, 0.75
        {readings("-12.34", "100"), a + 1, "33B321C214AEE040"}, // -40.425, 7.02125
        {readings("0.1", "100.3"), a + 1, "9999C7C16666C840"},  // -24.95, 6.2625
    };
    for (const auto& [text, hex] : {std::pair{"8.3", "CCCC0441"},
                                    {"-3.7", "CCCC6CC0"},
                                    {"0.1", "CDCCCC3D"},
                                    {"1234.567", "24529A44"},
                                    {"12.34", "A3704541"},
                                    {"-12.34", "A37045C1"},
                                    {"100.3", "9999C842"}})
        for (const auto& [field, at] : {std::pair{&Row::maximum, r + 1},
                                        {&Row::minimum, r + 5},
                                        {&Row::deviation, r + 9},
                                        {&Row::hysteresis, r + 13}})
            cases.push_back({entry(field, text), at, hex});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hex << " at " << c.at);
        SettingsFormValues v = Sample(m);
        v.rows[row].maximum.clear();
        v.rows[row].minimum.clear();
        c.enter(v.rows[row]);
        SettingsImage image = SampleImage(m);
        ASSERT_TRUE(EncodeSettingsForm(v, image));
        EXPECT_EQ(BytesAt(image, c.at, int(std::strlen(c.hex)) / 2).toHex().toUpper().toStdString(), c.hex);
    }
}

// The operator edits one of the two readings: the line through it and the reading left alone
// is worked out anew, slope = (r20 - r4) / 16 and offset = r4 - 4 x slope. The sample row shows
// 10.0 and 110.0 (twenty sensors, row 11) or 5.0 and 105.0 (eight sensors, row 6).
TEST(SettingsWriter, OneReadingEditedMovesTheCalibrationLine)
{
    const struct
    {
        const MemoryMap* map;
        int row;
        QString SensorRowValues::*reading;
        const char* typed;
        double slope, offset;
        const char* at4;
        const char* at20;
    } cases[] = {
        {&TwentyMap(), 10, &SensorRowValues::reading4, "0.13", 6.866875, -27.3375, "0.13", "110.0"},
        {&TwentyMap(), 10, &SensorRowValues::reading20, "99.7", 5.60625, -12.425, "10.0", "99.7"},
        {&EightMap(), 5, &SensorRowValues::reading4, "-2.93", 6.745625, -29.9125, "-2.93", "105.0"},
        {&EightMap(), 5, &SensorRowValues::reading20, "100.3", 5.95625, -18.825, "5.0", "100.3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.map->kind << " " << c.typed);
        const MemoryMap& m = *c.map;
        SettingsFormValues v = Sample(m);
        v.rows[std::size_t(c.row)].*c.reading = QString::fromLatin1(c.typed);
        SettingsImage image = SampleImage(m);
        ASSERT_TRUE(EncodeSettingsForm(v, image));
        const int a = m.analog + 9 * (c.row - m.digital);
        // The unit's 24-bit pattern of the value, within a unit in its last place.
        EXPECT_NEAR(ReadFloat32(image, a + 5), c.slope, 1e-6);
        EXPECT_NEAR(ReadFloat32(image, a + 1), c.offset, 4e-6);
        const SensorRowValues shown = DecodeSettingsForm(m.kind, m.model, image).rows[std::size_t(c.row)];
        EXPECT_EQ(shown.reading4, c.at4);
        EXPECT_EQ(shown.reading20, c.at20);
    }
}

TEST(SettingsWriter, NeverWritesPastAField)
{
    SettingsFormValues v = Sample(EightMap());
    v.rows[0].name.tag = QString(60, 'A') + "00"; // 30 bytes
    v.rows[0].name.tag.replace(0, 2, "41");
    SettingsImage image = SampleImage(EightMap());
    const SettingsImage before = image;
    ASSERT_TRUE(EncodeSettingsForm(v, image));
    EXPECT_EQ(image[676 + 24], 0xAA);
    for (int i = 676 + 25; i < 676 + 50; ++i)
        EXPECT_EQ(image[i], before[i]) << i;
    EXPECT_EQ(image[586], 9);
    EXPECT_EQ(image[587], 9);
    v.bypassHours = "";
    ASSERT_TRUE(EncodeSettingsForm(v, image));
    EXPECT_EQ(image[587], 1);
}

} // namespace
