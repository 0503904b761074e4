#include "sample_image.h"

#include "../common/fake_prompter.h"

#include <settings/name_label.h>
#include <settings/settings_form_fill.h>
#include <settings/settings_writer.h>
#include <settings/system_settings_form.h>
#include <settings/toggle_tag.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace {

struct Filled
{
    FakePrompter prompter;
    SystemSettingsFrm form{prompter};
    Filled(int kind, const QString& model, const SettingsImage& image)
    {
        FillSettingsForm(form, kind, model, image);
    }
};

class EveryField : public ::testing::TestWithParam<const MemoryMap*>
{
};

TEST_P(EveryField, FillsEachControlFromItsOffset)
{
    const MemoryMap& m = *GetParam();
    const SettingsImage image = SampleImage(m);
    const SettingsImage before = image;
    Filled f(m.kind, m.model, image);
    SystemSettingsFrm& d = f.form;
    for (int i = 0; i < m.rows; ++i) {
        SCOPED_TRACE(i);
        const quint8 flags = SampleFlags(m, i);
        const int type = SampleType(m, i);
        EXPECT_EQ(d.Label44[i]->Tag, SampleNameTag(i));
        EXPECT_EQ(d.Label44[i]->toolTip(), d.Label44[i]->text());
        EXPECT_EQ(d.Combo1[i]->count(), i < m.digital ? 3 : 6);
        EXPECT_EQ(d.Combo1[i]->currentData().toInt(), type);
        EXPECT_EQ(d.Text2[i]->text(), flags & 2 ? QString::number(100 + i) + ".0" : QString());
        EXPECT_EQ(d.Text3[i]->text(), flags & 4 ? QStringLiteral("-%1.5").arg(10 + i) : QString());
        EXPECT_EQ(d.Combo2[i]->currentIndex(), flags & 4 ? 2 : flags & 2 ? 1 : 0);
        EXPECT_EQ(d.Text4[i]->text(), QString::number(10 + i));
        EXPECT_EQ(d.Text5[i]->text().toDouble(), 0.25 * (i + 1));
        EXPECT_EQ(d.Text6[i]->text().toDouble(), 0.5 + i);
        EXPECT_EQ(d.Text7[i]->text(), QString::number(60 + i));
        EXPECT_EQ(d.Check2[i]->isChecked(), bool(flags & 1));
        EXPECT_EQ(d.Check4[i]->isChecked(), bool(flags & 8));
        EXPECT_EQ(d.Check3[i]->isChecked(), bool(flags & 16));
        EXPECT_EQ(d.Check1[i]->isChecked(), bool(flags & 32));
        EXPECT_EQ(ToggleTagOf(d.Check2[i]), flags & 1 ? "0" : "1");
        EXPECT_EQ(d.Check2[i]->text(), flags & 1 ? "Ενεργό" : "Ανενεργό");
        const bool contact = type == 3 || type == 4;
        EXPECT_EQ(d.Combo2[i]->isVisibleTo(&d), contact);
        EXPECT_EQ(d.Text5[i]->isEnabled(), !contact);
        EXPECT_EQ(d.Text8[i]->isEnabled(), type == 0 || type == 1 || type == 5);
        EXPECT_EQ(d.Text8[i]->text(), i < m.digital ? "0" : QString::number(i) + ".0");
        EXPECT_EQ(d.Text9[i]->text(), i < m.digital ? "100" : QString::number(100 + i) + ".0");
    }
    for (int i = m.rows; i < 20; ++i) {
        EXPECT_FALSE(d.Combo1[i]->isEnabled());
        EXPECT_FALSE(d.Check2[i]->isEnabled());
        EXPECT_FALSE(d.Label44[i]->isEnabled());
        EXPECT_EQ(d.Combo1[i]->count(), 0);
    }
    for (int k = 0; k < m.voltages; ++k)
        EXPECT_EQ(d.Label83[k]->Tag, SampleNameTag(30 + k));
    EXPECT_EQ(d.Label83[2]->isEnabled(), m.kind == 0);
    EXPECT_EQ(d.Combo10->count(), m.kind == 0 ? 4 : 2);
    EXPECT_EQ(d.Combo10->currentIndex(), m.kind == 0 ? 2 : 1);
    EXPECT_EQ(d.Text13->text(), "1234");
    EXPECT_FALSE(d.Check5[0]->isChecked());
    EXPECT_EQ(d.Check5[0]->text(), "Όχι");
    EXPECT_TRUE(d.Check5[1]->isChecked());
    EXPECT_EQ(d.Text10->text(), m.kind == 0 ? "7" : "9");
    EXPECT_FALSE(d.Option1->isEnabled());
    EXPECT_EQ(QStringList({d.Text1[0]->text(), d.Text1[1]->text(), d.Text1[2]->text(), d.Text1[3]->text()}),
              QStringList({"2101234567", "*21#", "69p123", ""}));
    EXPECT_EQ(d.Combo3->currentText(), "5");
    for (int day = 0; day < 7; ++day) {
        EXPECT_EQ(d.Combo6[2 * day]->currentText(), QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(d.Combo7[2 * day]->currentText(),
                  QStringLiteral("%1").arg(5 + day, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(d.Combo8[2 * day]->currentText(), QString::number(10 + day));
        EXPECT_EQ(d.Combo9[2 * day]->currentText(), QString::number(30 + day));
        EXPECT_EQ(d.Combo6[2 * day + 1]->currentIndex(), day == 6 ? 0 : 13 + day);
        EXPECT_EQ(d.Combo9[2 * day + 1]->currentIndex(), day == 6 ? 0 : 60);
    }
    EXPECT_EQ(d.Text14->text(), "42");
    EXPECT_EQ(d.Label66->Tag, SampleNameTag(35));
    for (int k : {0, 1}) {
        EXPECT_EQ(d.Text15[k]->text(), "1234");
        EXPECT_EQ(d.Text16[k]->text(), "98765432");
    }
    EXPECT_EQ(image, before);
}

// Shown and confirmed untouched, the sample goes back byte for byte; so do a unit's limits and
// calibrations as it stores them: decimals with no exact binary form, cut to 24 bits.
TEST_P(EveryField, UntouchedEntriesGoBackByteForByte)
{
    const MemoryMap& m = *GetParam();
    const QByteArray maxima[] = {QByteArray::fromHex("CCCC0441"), QByteArray::fromHex("A3704541"),
                                 QByteArray::fromHex("9999C842")}; // 8.3, 12.34, 100.3
    const QByteArray minima[] = {QByteArray::fromHex("CCCC6CC0"), QByteArray::fromHex("A37045C1"),
                                 QByteArray::fromHex("33332BC1")}; // -3.7, -12.34, -10.7
    const QByteArray small[] = {QByteArray::fromHex("CDCCCC3D"), QByteArray::fromHex("9A99993E"),
                                QByteArray::fromHex("CDCCCCBD")}; // 0.1, 0.3, -0.1
    // Offset then slope, for the readings -3.7 and 8.3, -12.34 and 100, 0.1 and 100.3.
    const QByteArray calibrations[] = {QByteArray::fromHex("6666D6C00000403F"),
                                       QByteArray::fromHex("33B321C214AEE040"),
                                       QByteArray::fromHex("9999C7C16666C840")};
    SettingsImage decimals = SampleImage(m);
    const auto put = [&](int at, const QByteArray& bytes) {
        std::copy(bytes.begin(), bytes.end(), decimals.begin() + at);
    };
    for (int i = 0; i < m.rows; ++i) {
        const int r = m.sensors + 21 * i;
        const quint8 flags = SampleFlags(m, i);
        if (flags & 2)
            put(r + 1, maxima[i % 3]);
        if (flags & 4)
            put(r + 5, minima[i % 3]);
        put(r + 9, small[i % 3]);
        put(r + 13, maxima[(i + 1) % 3]);
        if (i >= m.digital)
            put(m.analog + 9 * (i - m.digital) + 1, calibrations[i % 3]);
    }
    SealSettingsImage(decimals, LayoutFor(m.kind));
    for (const SettingsImage& image : {SampleImage(m), decimals}) {
        Filled f(m.kind, m.model, image);
        ASSERT_EQ(CheckSettingsForm(f.form.Values()), std::nullopt);
        SettingsImage written = image;
        ASSERT_TRUE(EncodeSettingsForm(f.form.Values(), written));
        for (int i = 0; i < kSettingsImageSize; ++i)
            EXPECT_EQ(written[i], image[i]) << "offset " << i;
    }
    Filled f(m.kind, m.model, decimals);
    EXPECT_EQ(f.form.Text2[0]->text(), "8.3");
    EXPECT_EQ(f.form.Text3[4]->text(), "-12.34");
}

// Bytes the dialog cannot show as they are: a telephone number of codes the code page leaves
// undefined, an erased 16-bit rate and delay, shown as "32767", flag bits no control shows (6 and
// 7 of a sensor's flags, 2 to 7 of the mains flags), a contact marked both open and closed, and
// bypass hours of 0, shown as "1". Left alone they go back as the unit's bytes; edited, their
// field is written as entered, the flags from their controls, a sensor's bits 6 and 7 kept.
TEST_P(EveryField, BytesTheDialogCannotShowGoBackWhenLeftAlone)
{
    const MemoryMap& m = *GetParam();
    constexpr int row = 2;
    const int r = m.sensors + 21 * row;
    const int rate = r + 19;
    const int delay = r + 17;
    const int phone = m.phones + 22;
    const int probe = m.sensors;        // row 0's flags
    const int contact = m.sensors + 21; // row 1's flags, a contact
    SettingsImage image = SampleImage(m);
    const QByteArray undefined = QByteArray::fromHex("AAD281FF00");
    std::copy(undefined.begin(), undefined.end(), image.begin() + phone);
    for (const int at : {rate, rate + 1, delay, delay + 1})
        image[std::size_t(at)] = 0xFF;
    image[std::size_t(probe)] |= 0xC0;        // 3F: active, both limits, logging, messages
    image[std::size_t(contact)] |= 0x04;      // 22: open, messages
    image[std::size_t(m.mainsFlags)] |= 0xFC; // 02: messages
    image[std::size_t(m.bypass)] = 0;
    SealSettingsImage(image, LayoutFor(m.kind));

    const struct
    {
        const char* name;
        std::function<void(SystemSettingsFrm&)> edit;
        int at;
        const char* hex; // the field's bytes written; the rest of the image as read
    } cases[] = {
        {"left alone", [](SystemSettingsFrm&) {}, phone, "AAD281FF00"},
        {"rate typed", [](SystemSettingsFrm& d) { d.Text4[row]->setText("1440"); }, rate, "A005"},
        {"delay typed", [](SystemSettingsFrm& d) { d.Text7[row]->setText("32766"); }, delay, "FE7F"},
        {"number typed", [](SystemSettingsFrm& d) { d.Text1[1]->setText("2109*#p"); }, phone,
         "323130392A237000"},
        {"digit added", [](SystemSettingsFrm& d) { d.Text1[1]->insert("5"); }, phone, "3F3F3F3F3500"},
        {"sensor made inactive", [](SystemSettingsFrm& d) { d.Check2[0]->setChecked(false); }, probe, "FE"},
        {"contact state chosen", [](SystemSettingsFrm& d) { d.Combo2[1]->setCurrentIndex(0); }, contact,
         "20"},
        {"mains logging ticked", [](SystemSettingsFrm& d) { d.Check5[0]->setChecked(true); }, m.mainsFlags,
         "03"},
        {"bypass hours typed", [](SystemSettingsFrm& d) { d.Text10->setText("12"); }, m.bypass, "0C"},
        {"mains delay typed", [](SystemSettingsFrm& d) { d.Text13->setText("1440"); }, m.mainsDelay, "A005"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Filled f(m.kind, m.model, image);
        EXPECT_EQ(f.form.Text4[row]->text(), "32767");
        EXPECT_EQ(f.form.Text7[row]->text(), "32767");
        EXPECT_EQ(f.form.Text1[1]->text().size(), 4);
        EXPECT_EQ(f.form.Text10->text(), "1");
        c.edit(f.form);
        ASSERT_EQ(CheckSettingsForm(f.form.Values()), std::nullopt);
        SettingsImage written = image;
        ASSERT_TRUE(EncodeSettingsForm(f.form.Values(), written));
        const QByteArray field = QByteArray::fromHex(c.hex);
        EXPECT_EQ(
            QByteArray(reinterpret_cast<const char*>(&written[std::size_t(c.at)]), field.size()).toHex(),
            field.toHex());
        SettingsImage expected = image;
        std::copy(field.begin(), field.end(), expected.begin() + c.at);
        SealSettingsImage(expected, LayoutFor(m.kind));
        for (int i = 0; i < kSettingsImageSize; ++i)
            EXPECT_EQ(written[i], expected[i]) << "offset " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryField, ::testing::Values(&TwentyMap(), &EightMap()));

// The ring count as the unit holds it goes back when its list is left alone; a count that no
// position of the list stands for is refused until the operator chooses one.
TEST(RingCount, LeftAloneGoesBackAsRead)
{
    const struct
    {
        const MemoryMap* map;
        quint8 stored;
        int chosen;  // the position the operator selects, -1 for none
        int written; // -1: refused
    } cases[] = {
        {&TwentyMap(), 1, -1, 1},    {&EightMap(), 1, -1, 1},   {&TwentyMap(), 2, -1, 2},
        {&EightMap(), 15, -1, 15},   {&TwentyMap(), 0, -1, -1}, {&EightMap(), 16, -1, -1},
        {&TwentyMap(), 255, -1, -1}, {&TwentyMap(), 0, 1, 3},   {&EightMap(), 1, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.map->kind << " " << int(c.stored) << " " << c.chosen);
        SettingsImage image = SampleImage(*c.map);
        image[std::size_t(c.map->ring)] = c.stored;
        SealSettingsImage(image, LayoutFor(c.map->kind));
        Filled f(c.map->kind, c.map->model, image);
        if (c.chosen >= 0)
            f.form.Combo3->setCurrentIndex(c.chosen);
        const SettingsFormValues values = f.form.Values();
        const auto refusal = CheckSettingsForm(values);
        if (c.written < 0) {
            ASSERT_TRUE(refusal.has_value());
            EXPECT_TRUE(refusal->contains(QStringLiteral("'Αριθμός Χτύπων Τηλεφώνου'")))
                << refusal->toStdString();
            continue;
        }
        ASSERT_EQ(refusal, std::nullopt);
        SettingsImage written = image;
        ASSERT_TRUE(EncodeSettingsForm(values, written));
        EXPECT_EQ(written[std::size_t(c.map->ring)], c.written);
        if (c.chosen < 0) {
            EXPECT_EQ(written, image);
        }
    }
}

QString Index(const QComboBox* list)
{
    return QString::number(list->currentIndex());
}

QString Yes(bool b)
{
    return b ? QStringLiteral(" yes") : QStringLiteral(" no");
}

// Bytes of an otherwise empty image (schedule hours 255, no selection), and what the dialog shows.
TEST(FillEdges, ShowWhatTheUnitStored)
{
    using F = SystemSettingsFrm;
    // Digital rows 1-4, analog rows 5-8, no ninth row; a contact's second position is no limit.
    const auto eightRows = [](F& d) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(d.Combo1[3]->count())
            .arg(d.Combo1[4]->count())
            .arg(d.Combo1[8]->currentIndex())
            .arg(d.Combo2[0]->itemData(1).toInt());
    };
    const struct
    {
        const char* name;
        int kind, offset;
        const char* hex;
        std::function<QString(F&)> shown;
        const char* expected;
        int repeat = 1;
    } cases[] = {
        {"digital type 2 is the probe", 0, 784, "02", [](F& d) { return Index(d.Combo1[0]); }, "0"},
        {"digital type 4", 0, 784, "04", [](F& d) { return d.Combo1[0]->currentText(); }, "Επαφή (ΑΝ)"},
        {"digital type 0 selects nothing", 0, 784, "00", [](F& d) { return Index(d.Combo1[0]); }, "-1"},
        {"analog type 9 selects nothing", 1, 378, "09", [](F& d) { return Index(d.Combo1[4]); }, "-1"},
        {"pressure enables the readings", 0, 694, "05",
         [](F& d) {
             return Index(d.Combo1[10]) + Yes(d.Text8[10]->isEnabled()) + Yes(d.Text2[10]->isVisibleTo(&d));
         },
         "5 yes yes"},
        {"25.0 as a maximum", 0, 794, "020000C841", [](F& d) { return d.Text2[0]->text(); }, "25.0"},
        {"-5.5 as a minimum", 1, 418, "04000000000000B0C0",
         [](F& d) { return d.Text3[0]->text() + Index(d.Combo2[0]); }, "-5.52"},
        {"a limit whose bit is clear", 0, 794, "000000C841", [](F& d) { return d.Text2[0]->text(); }, ""},
        {"an infinite limit shows 0.0", 0, 794, "02000080FF", [](F& d) { return d.Text2[0]->text(); }, "0.0"},
        {"rate A0 05", 0, 813, "A005", [](F& d) { return d.Text4[0]->text(); }, "1440"},
        {"rate FF FF", 0, 813, "FFFF", [](F& d) { return d.Text4[0]->text(); }, "32767"},
        {"calibration -25, 6.25", 0, 694, "000000C8C10000C840",
         [](F& d) { return d.Text8[10]->text() + " " + d.Text9[10]->text(); }, "0.0 100.0"},
        {"calibration -998.2067261, -48.6679153 rounds its sums once", 0, 694, "003B8D79C4F2AB42C2",
         [](F& d) { return d.Text8[10]->text() + " " + d.Text9[10]->text(); }, "-1192.88 -1971.57"},
        {"name 128 45 49", 0, 1304, "802D3100", [](F& d) { return d.Label44[0]->Tag; }, "802D3100"},
        {"name without its 0 byte ends with its field", 0, 1304, "41",
         [](F& d) { return d.Label44[0]->text() + " " + d.Label44[1]->text(); },
         "AAAAAAAAAAAAAAAAAAAAAAAAA AAAAA", 30},
        {"voltage name 128 255 3", 0, 1804, "80FF0300", [](F& d) { return d.Label83[0]->Tag; }, "80FF0300"},
        {"mode 3", 0, 615, "03", [](F& d) { return d.Combo10->currentText(); }, "3 Τάσεων"},
        {"mode 2 on eight sensors", 1, 300, "02", [](F& d) { return Index(d.Combo10); }, "-1"},
        {"mains delay 10000 kept whole", 0, 613, "1027", [](F& d) { return d.Text13->text(); }, "10000"},
        {"mains flags FC", 0, 612, "FC",
         [](F& d) { return d.Check5[1]->text() + Yes(d.Check5[0]->isChecked()); }, "Όχι no"},
        {"bypass 0 shows 1", 1, 586, "00", [](F& d) { return d.Text10->text(); }, "1"},
        {"hour 24 selects nothing", 0, 617, "18", [](F& d) { return Index(d.Combo6[0]); }, "-1"},
        {"Wednesday's last end minute", 0, 648, "3B", [](F& d) { return d.Combo9[7]->currentText(); }, "59"},
        {"phone without its 0 byte", 0, 1216, "35", [](F& d) { return d.Text1[0]->text(); },
         "5555555555555555555555", 30},
        {"system number 255", 1, 359, "FF", [](F& d) { return d.Text14->text(); }, "255"},
        {"security code runs to its field's end", 0, 676, "313233343536373839",
         [](F& d) { return d.Text16[1]->text(); }, "123456789"},
        {"model kind 2 is eight sensors", 2, 0, "", eightRows, "3 6 -1 0"},
        {"model kind -1 is eight sensors", -1, 0, "", eightRows, "3 6 -1 0"},
    };
    for (const auto& c : cases) {
        SettingsImage image{};
        std::fill(image.begin() + 617, image.begin() + 617 + 56, 255);
        const QByteArray bytes = QByteArray::fromHex(c.hex).repeated(c.repeat);
        std::copy(bytes.begin(), bytes.end(), image.begin() + c.offset);
        Filled f(c.kind, c.kind == 0 ? "TELVARON-1" : "TELVARON-2", image);
        EXPECT_EQ(c.shown(f.form), QString::fromUtf8(c.expected)) << c.name;
    }
}

TEST(FillModels, BypassOrSelectorByModelName)
{
    SettingsImage image{};
    image[611] = 24;
    const struct
    {
        const char* model;
        bool bypass;
    } models[] = {{"TELVARON-1E", true},
                  {"xTELVARON-1Fy", true},
                  {"TELVARON-1G", true},
                  {"TELVARON-1e", false},
                  {"TELVARON-1", false}};
    for (const auto& m : models) {
        SCOPED_TRACE(m.model);
        Filled f(0, m.model, image);
        EXPECT_EQ(f.form.Text10->isEnabled(), m.bypass);
        EXPECT_EQ(f.form.Text10->text(), m.bypass ? "24" : "");
        EXPECT_EQ(f.form.Option1->isEnabled(), !m.bypass);
        EXPECT_EQ(f.form.Option2->isChecked(), !m.bypass);
    }
    image[611] = 0;
    Filled five(0, "TELVARON-1", image);
    EXPECT_TRUE(five.form.Option1->isChecked());
    EXPECT_FALSE(five.form.Option2->isChecked());

    // The SG-2 choice goes back as the unit holds it while left alone; chosen, it is 0 for 5 V and
    // 1 for 12 V.
    const struct
    {
        quint8 held;
        const char* chosen;
        int written;
    } choices[] = {{0, "", 0}, {24, "", 24}, {5, "12 V", 5}, {24, "5 V", 0}, {0, "12 V", 1}};
    for (const auto& c : choices) {
        SCOPED_TRACE(::testing::Message() << int(c.held) << " " << c.chosen);
        SettingsImage held = SampleImage(TwentyMap());
        held[611] = c.held;
        SealSettingsImage(held, TwentySensorLayout);
        Filled f(0, "TELVARON-1", held);
        if (*c.chosen)
            (QLatin1String(c.chosen) == "5 V" ? f.form.Option1 : f.form.Option2)->setChecked(true);
        SettingsImage written = held;
        ASSERT_TRUE(EncodeSettingsForm(f.form.Values(), written));
        EXPECT_EQ(written[611], c.written);
    }
}

TEST(FillLists, PartRulesNotToolkitDefaults)
{
    FakePrompter prompter;
    SystemSettingsFrm d(prompter);
    // Loaded: schedule lists select nothing, the ring count "2", type lists are empty.
    EXPECT_EQ(d.Combo6[0]->currentIndex(), -1);
    EXPECT_EQ(d.Combo6[0]->count(), 25);
    EXPECT_EQ(d.Combo7[0]->count(), 61);
    EXPECT_EQ(d.Combo3->currentText(), "2");
    EXPECT_EQ(d.Combo1[0]->count(), 0);
    // A typed limit of four characters, while code keeps a longer text whole.
    d.Text13->setText("123456");
    EXPECT_EQ(d.Text13->text(), "123456");
    // Toggles flip their visible state once per change, never on a repeated value.
    d.Check1[0]->setChecked(true);
    EXPECT_EQ(ToggleTagOf(d.Check1[0]), "0");
    d.Check1[0]->setChecked(false);
    EXPECT_EQ(ToggleTagOf(d.Check1[0]), "1");
    EXPECT_EQ(d.Check1[0]->text(), "Όχι");
}

TEST(FillLists, TypeListsShowTheirLongestItemWhole)
{
    Filled f(0, "TELVARON-1", SampleImage(TwentyMap()));
    // A screen smaller than the dialog: the sensor page is laid out at its least.
    f.form.resize(640, 480);
    f.form.SSTab1->setCurrentIndex(3);
    f.form.show();
    QCoreApplication::processEvents();
    for (QComboBox* list : f.form.Combo1) {
        QComboBox reference;
        reference.setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (int k = 0; k < list->count(); ++k)
            reference.addItem(list->itemText(k));
        EXPECT_GE(list->width(), reference.sizeHint().width()) << list->itemText(0).toStdString();
    }
}

TEST(FillRobustness, AnyImageFillsWithoutReadingPastIt)
{
    std::mt19937 random(1253);
    std::vector<SettingsImage> images(2);
    images[1].fill(0xFF);
    for (int n = 0; n < 20; ++n) {
        SettingsImage image;
        for (auto& b : image)
            b = quint8(random());
        images.push_back(image);
    }
    for (const SettingsImage& image : images)
        for (int kind : {0, 1}) {
            const SettingsImage before = image;
            Filled f(kind, "TELVARON-1E", image);
            SettingsImage written = image;
            if (!CheckSettingsForm(f.form.Values())) {
                EXPECT_TRUE(EncodeSettingsForm(f.form.Values(), written));
            }
            EXPECT_EQ(image, before);
        }
}

} // namespace
