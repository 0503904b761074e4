#include "systems_fixture.h"

#include <db/database.h>
#include <link/hex_text.h>
#include <settings/name_label.h>
#include <settings/settings_change.h>
#include <settings/settings_upload.h>
#include <settings/settings_writer.h>
#include <settings/system_settings_form.h>
#include <settings_upload.h>
#include <systems/systems_list.h>
#include <unit/systems_info.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QtEndian>

#include <gtest/gtest.h>

#include <array>
#include <bit>

namespace {
using unitsim::DefaultImageContents;

constexpr int kRecordWait = 300;
const QString kFridge2 = QStringLiteral("ΨΥΓΕΙΟ 2");
const QString kFridge2Codes = QStringLiteral("FF043200");

float FloatAt(const QByteArray& image, int at)
{
    return std::bit_cast<float>(qFromLittleEndian<quint32>(image.constData() + at));
}

using Step = std::function<void(SystemSettingsFrm&)>;

// A settings change driven from the systems list, the operator's part played by the test.
class SettingsChangeTest : public SystemsFixture
{
protected:
    // The only listed unit, with its own upload side: twenty sensors on COM1 or eight over TCP.
    SimUnit& Listed(const unitsim::ImageContents& contents = DefaultImageContents(true, 20, 1))
    {
        units_.clear();
        for (const char* table : {"Sensors_Info", "Powermonitoring_Info", "Systems_Info"})
            EXPECT_TRUE(Db().Exec(QStringLiteral("DELETE FROM ") + QLatin1String(table)));
        SimUnit& unit = contents.twentySensors
                            ? ServePty(QStringLiteral("U-1"), 1, QStringLiteral("TELVARON-1"), contents)
                            : ServeTcp(QStringLiteral("U-1"), QStringLiteral("TELVARON-2"), contents);
        upload_ = std::make_unique<unitsim::SettingsUpload>(unit.model, unit.memory, 100);
        unitsim::InstallSettingsUpload(unit.sim, unit.model, *upload_);
        EXPECT_TRUE(Add(unit.address)) << LastMessage().toStdString();
        return unit;
    }

    // Opens the settings of the only listed unit; each showing of the dialog runs the next step.
    void Change(std::vector<Step> steps)
    {
        const Step show = [&](SystemSettingsFrm& form) {
            ++shown_;
            if (!steps.empty()) {
                steps.front()(form);
                steps.erase(steps.begin());
            }
        };
        SystemsList dialog(
            Db(), *link_, prompter_,
            [&](const SystemInfo& unit, DialogLine::Progress progress, QWidget* parent) {
                return SettingsChange(Db(), *link_, prompter_, show, std::move(progress)).Run(unit, parent);
            });
        dialog.SystemListGrid->selectRow(0);
        dialog.Command4->click();
        EXPECT_EQ(dialog.ProgressLabel->text(), QString());
    }

    static void Confirm(SystemSettingsFrm& form) { form.Tag = QStringLiteral("True"); }

    // The operator's change: sensor 1's maximum and name.
    static void EditFirstSensor(SystemSettingsFrm& form)
    {
        form.Text2[0]->setText(QStringLiteral("12.5"));
        form.Label44[0]->SetName(kFridge2, kFridge2Codes);
        Confirm(form);
    }

    std::unique_ptr<unitsim::SettingsUpload> upload_;
    int shown_ = 0;
};

TEST_P(SettingsChangeTest, TheUnitAndTheDatabaseCarryTheChangedLimitAndName)
{
    // A maximum in sensor 1's record, or a minimum in sensor 2's, and the sensor's name.
    const struct
    {
        bool twenty;
        int sensor;
        bool maximum;
        float limit;
        int limitAt, nameAt;
    } cases[] = {{true, 0, true, 12.5f, 794 + 1, 1304}, {false, 1, false, -4.0f, 418 + 21 + 5, 676 + 25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.twenty ? "twenty sensors on a serial port" : "eight sensors over TCP");
        SimUnit& unit = Listed(DefaultImageContents(c.twenty, c.twenty ? 20 : 8, 1));
        Change({[&](SystemSettingsFrm& form) {
            (c.maximum ? form.Text2 : form.Text3)[c.sensor]->setText(QString::number(c.limit));
            form.Label44[c.sensor]->SetName(kFridge2, kFridge2Codes);
            Confirm(form);
        }});
        ASSERT_EQ(upload_->Commits(), 1) << LastMessage().toStdString();
        EXPECT_EQ(prompter_.messages.back().icon, Prompter::Icon::Information) << LastMessage().toStdString();
        const QByteArray image = unit.memory.Image();
        EXPECT_FLOAT_EQ(FloatAt(image, c.limitAt), c.limit);
        EXPECT_EQ(image.mid(c.nameAt, 4), QByteArray("\xFF\x04\x32\x00", 4));
        EXPECT_TRUE(unitsim::SettingsChecksumHolds(image, c.twenty));
        // The mirror follows the filled copy.
        if (c.twenty) {
            EXPECT_EQ(image.mid(0, 607).mid(4), image.mid(607, 607).mid(4));
        }
        const QString where =
            QStringLiteral(" FROM Sensors_Info WHERE SeI_Sensornumber = %1").arg(c.sensor + 1);
        const QString column = c.maximum ? QStringLiteral("SeI_Maxlimit") : QStringLiteral("SeI_Minlimit");
        EXPECT_FLOAT_EQ(Value(QStringLiteral("SELECT ") + column + where).toFloat(), c.limit);
        EXPECT_EQ(Value(QStringLiteral("SELECT SeI_Sensorname") + where).toString(), kFridge2);
    }
}

// The PC clock goes with the commit as it reads when the commit is sent, after the records, not as
// it read when the operator pressed OK. Without it, the date and time entered go; the date editor
// takes only the years that the commit's year byte (year - 2000) can carry.
TEST_P(SettingsChangeTest, TheCommitCarriesThePcClockOfItsOwnMomentOrTheEnteredDate)
{
    SimUnit& unit = Listed();
    const QDateTime whileSending(QDate(2032, 1, 2), QTime(3, 4));
    QDateTime now(QDate(2031, 7, 9), QTime(22, 41));
    const auto sending = [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Αποστολή ρυθμίσεων")))
            now = whileSending;
    };
    const auto enter = [](SystemSettingsFrm& form) {
        form.Check6->setChecked(false);
        form.Combo4->setDate(QDate(1999, 12, 31));
        EXPECT_EQ(form.Combo4->date(), QDate(2000, 1, 1));
        form.Combo4->setDate(QDate(2256, 6, 30));
        form.Combo5->setTime(QTime(23, 59));
        Confirm(form);
    };
    const struct
    {
        std::function<void(SystemSettingsFrm&)> edit;
        QDateTime expected;
    } cases[] = {{EditFirstSensor, whileSending}, {enter, QDateTime(QDate(2255, 12, 31), QTime(23, 59))}};
    for (const auto& c : cases) {
        SettingsChange change(Db(), *link_, prompter_, c.edit, sending, kRecordWait, [&] { return now; });
        ASSERT_TRUE(change.Run(*LoadUsedSystems(Db())->begin())) << LastMessage().toStdString();
        EXPECT_EQ(unit.model.State().clock.date(), c.expected.date());
        EXPECT_EQ(unit.model.State().clock.time(), c.expected.time());
        // The unit's text input lapses before the next change.
        link_->Delay(150);
    }
}

TEST_P(SettingsChangeTest, ARefusedEntryShowsTheDialogAgainWithTheOperatorsEntries)
{
    Listed();
    Change({[](SystemSettingsFrm& form) {
                form.Text2[0]->setText(QStringLiteral("12.5"));
                form.Text13->setText(QStringLiteral("0"));
                Confirm(form);
            },
            [](SystemSettingsFrm& form) {
                EXPECT_TRUE(form.Tag.isEmpty());
                EXPECT_EQ(form.Text2[0]->text(), QStringLiteral("12.5"));
                form.Text13->setText(QStringLiteral("30"));
                Confirm(form);
            }});

    EXPECT_EQ(shown_, 2);
    ASSERT_GE(prompter_.messages.size(), 2u);
    EXPECT_EQ(prompter_.messages[prompter_.messages.size() - 2].title, QString::fromUtf8(kRefusalTitle));
    EXPECT_EQ(upload_->Commits(), 1);
    EXPECT_FLOAT_EQ(
        Value(QStringLiteral("SELECT SeI_Maxlimit FROM Sensors_Info WHERE SeI_Sensornumber = 1")).toFloat(),
        12.5f);
}

// Whatever goes wrong on the unit's side, the operator is told and the database stays as it was.
TEST_P(SettingsChangeTest, AFailedUploadLeavesTheDatabaseAsItWas)
{
    const struct
    {
        const char* name;
        unitsim::UploadFaults faults;
        const char* says;
    } cases[] = {
        {"record refused", {.refuseRecord = 100}, "απέρριψε"},
        {"silent mid-upload", {.silentFromRecord = 37}, "σταμάτησε να απαντά"},
        {"end record unanswered", {.silentFromRecord = 256}, "σταμάτησε να απαντά"},
        {"commit refused", {.refuseCommit = true}, "δεν αποδέχτηκε"},
    };
    SimUnit& unit = Listed();
    const QStringList before = UnitTables();
    const QByteArray image = unit.memory.Image();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        upload_->SetFaults(c.faults);
        prompter_.messages.clear();
        SettingsChange change(Db(), *link_, prompter_, EditFirstSensor, {}, kRecordWait);
        EXPECT_FALSE(change.Run(*LoadUsedSystems(Db())->begin()));
        ASSERT_EQ(prompter_.messages.size(), 1u);
        EXPECT_TRUE(LastMessage().contains(QString::fromUtf8(c.says))) << LastMessage().toStdString();
        EXPECT_EQ(UnitTables(), before);
        EXPECT_EQ(unit.memory.Image(), image);
        EXPECT_EQ(upload_->Commits(), 0);
        // The unit's text input lapses before the next attempt.
        link_->Delay(150);
    }
}

// Settings that reading and writing back could alter: Greek names or none, every sensor kind,
// limits with no exact binary form, sensors and limits out of use, mains inputs watched.
unitsim::ImageContents VariedContents(bool twenty)
{
    unitsim::ImageContents contents = DefaultImageContents(twenty, twenty ? 14 : 6, 9);
    contents.securityCode = QStringLiteral("1234");
    // "ΚΑΤΑΣΤΗΜΑ ΑΒ-7", or no name at all.
    contents.systemName = twenty ? QByteArray("\xFF\x1C", 2) + " \x80\x81-7" : QByteArray();
    contents.mainsMode = twenty ? 3 : 1;
    const float maxima[] = {80.3f, -17.7f, 0.1f, 36.6f, -0.3f, 1013.2f};
    const float minima[] = {-20.1f, -40.7f, -1.9f, 12.3f, -55.5f, 950.6f};
    const int digitalRows = twenty ? 10 : 4;
    for (int i = 0; i < int(contents.sensors.size()); ++i) {
        unitsim::ImageSensor& sensor = contents.sensors[i];
        // Probes and contacts on the digital rows, temperature, humidity and pressure on the analog ones.
        sensor.type = i < digitalRows ? 2 + i % 3 : std::array{0, 1, 5}[i % 3];
        sensor.maxLimit = maxima[i % 6];
        sensor.minLimit = minima[i % 6];
        sensor.name = QByteArray("\x8A\x8B ") + QByteArray::number(i + 1) + ".3";
    }
    // A contact is open (its maximum in use), closed (its minimum) or neither.
    contents.sensors[1].minInUse = false;
    contents.sensors[2].maxInUse = false;
    if (twenty) {
        contents.sensors[4].minInUse = false;
        contents.sensors[5].maxInUse = false;
        contents.sensors[7].minInUse = false;
        contents.sensors[8].maxInUse = false;
        contents.sensors[8].minInUse = false;
    }
    contents.sensors[6].maxInUse = false;
    contents.sensors[twenty ? 11 : 5].minInUse = false;
    contents.sensors[3].active = false;
    return contents;
}

// Accepting the dialog without an edit writes the unit's own settings back: no byte of the unit
// and no row of the database differs afterwards.
TEST_P(SettingsChangeTest, ASaveWithoutEditsChangesNothing)
{
    for (const bool twenty : {true, false}) {
        SCOPED_TRACE(twenty ? "twenty sensors on a serial port" : "eight sensors over TCP");
        SimUnit& unit = Listed(VariedContents(twenty));
        const QStringList before = AllTables();
        const QByteArray image = unit.memory.Image();
        Change({Confirm});
        ASSERT_EQ(upload_->Commits(), 1) << LastMessage().toStdString();
        EXPECT_EQ(unit.memory.Image().toHex(' ').toStdString(), image.toHex(' ').toStdString());
        EXPECT_EQ(AllTables().join(u'\n').toStdString(), before.join(u'\n').toStdString());
    }
}

// The unit holds a telephone number of codes the code page leaves undefined and an erased recording
// rate and out-of-limits delay (65535, shown as "32767"): a save without edits sends its bytes back.
TEST_P(SettingsChangeTest, ASaveWithoutEditsKeepsBytesTheDialogCannotShow)
{
    for (const bool twenty : {true, false}) {
        SCOPED_TRACE(twenty ? "twenty sensors on a serial port" : "eight sensors over TCP");
        SimUnit& unit = Listed(VariedContents(twenty));
        const SettingsLayout& layout = LayoutFor(twenty ? 0 : 1);
        SettingsImage held{};
        const QByteArray read = unit.memory.Image();
        std::copy(read.begin(), read.end(), held.begin());
        const QByteArray phone = QByteArray::fromHex("AAD281FF00");
        std::copy(phone.begin(), phone.end(), held.begin() + layout.PhoneEntryAt(0));
        const qsizetype sensor = layout.SensorSettingsAt(layout.digitalCount);
        std::fill_n(held.begin() + sensor + 17, 4, 0xFF);
        SealSettingsImage(held, layout);
        const QByteArray image(reinterpret_cast<const char*>(held.data()), kSettingsImageSize);
        unit.memory.SetImage(image);
        const QStringList before = AllTables();
        Change({Confirm});
        ASSERT_EQ(upload_->Commits(), 1) << LastMessage().toStdString();
        EXPECT_EQ(unit.memory.Image().toHex(' ').toStdString(), image.toHex(' ').toStdString());
        EXPECT_EQ(AllTables().join(u'\n').toStdString(), before.join(u'\n').toStdString());
    }
}

TEST_P(SettingsChangeTest, CancelSendsNothing)
{
    SimUnit& unit = Listed();
    const QStringList before = UnitTables();
    Change({[](SystemSettingsFrm& form) { form.Text2[0]->setText(QStringLiteral("99")); }});
    EXPECT_EQ(unit.sim.Arrivals(CmdBeginSettingsUpload), 0);
    EXPECT_EQ(UnitTables(), before);
}

// The names the unit holds are stored as the dialog shows them: one reading of the name bytes.
TEST_P(SettingsChangeTest, StoresTheNamesTheDialogShows)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        QString name;
    } cases[] = {
        {"empty", QByteArray(), QStringLiteral("")},
        {"word number 0", kWordZeroNameBytes, kWordZeroName},
        {"longest", kLongestNameBytes, LongestName()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimUnit& unit = Listed();
        unit.memory.SetImage(ImageWithNames(c.bytes));
        ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Systemname='-'")));
        ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_Sensorname='-'")));
        QStringList shown;
        Change({[&](SystemSettingsFrm& form) {
            shown = {form.Label66->text(), form.Label44[0]->text()};
            Confirm(form);
        }});
        ASSERT_EQ(upload_->Commits(), 1) << LastMessage().toStdString();
        EXPECT_EQ(shown, QStringList({c.name, c.name}));
        // Compared in SQL: a Null would match nothing.
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Systemname=?"), {c.name}),
                  1);
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info WHERE SeI_Sensornumber=1 AND "
                                       "SeI_Sensorname=?"),
                        {c.name}),
                  1);
    }
}

INSTANTIATE_BOTH_DRIVERS(SettingsChangeTest);

// The records as the wire carries them.
TEST(UploadRecords, AreScrambledIntelHexLines)
{
    SettingsImage image{};
    for (int i = 0; i < int(image.size()); ++i)
        image[i] = quint8(i);
    struct Case
    {
        QByteArray wire, plain;
    };
    const std::vector<Case> cases{
        {UploadEndRecord(), ":00000001FF\r\n"},
        {UploadRecord(image, 0), ":10000000000102030405060708090A0B0C0D0E0F78\r\n"},
        {UploadRecord(image, 255), ":100FF000F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF79\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScrambleHexDigits(QString::fromLatin1(c.wire)).toLatin1(), c.plain);
}

} // namespace
