// A live unit's memory kept in a file while the simulator is off, and the unit going on from it.
#include <live_unit.h>
#include <settings_image.h>
#include <unit_state_file.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

// When the unit is saved, by the computer's clock; the unit's clock then shows 13:45:30.5.
const QDateTime kSavedAt(QDate(2026, 3, 2), QTime(9, 10, 11), Qt::UTC);
constexpr qint64 kSavedAfterMs = 30500;

QDateTime Wall(int hour, int minute, int second, int ms = 0)
{
    return QDateTime(QDate(2024, 5, 17), QTime(hour, minute, second, ms), Qt::UTC);
}

// A time as the unit shows it, to compare and print.
std::string Shown(const QDateTime& t)
{
    return t.toString(Qt::ISODateWithMs).toStdString();
}

// A unit as scripts/run starts the first one: 20 sensors logging every minute, its logs
// prefilled.
struct Unit
{
    explicit Unit(const QString& serial = QStringLiteral("TV1-000101"))
    {
        model.Update([&](UnitState& s) {
            s.identity.serialNumber = serial;
            s.identity.model = QStringLiteral("TELVARON-1E");
        });
        ImageContents contents = DefaultImageContents(true, 20, 1);
        contents.systemName = "Kept across starts";
        for (ImageSensor& s : contents.sensors)
            s.recordingRate = 1;
        settings.SetImage(BuildSettingsImage(contents));
        PrefillLogs(logs, 20, 300, 40, 1);
    }

    UnitModel model;
    SettingsMemory settings;
    LogMemory logs;
    CurrentEvents events;
};

class UnitStateFileTest : public ::testing::Test
{
protected:
    UnitStateFileTest()
    {
        live_.AdvanceTo(kSavedAfterMs);
        kept_ = live_.Kept(kSavedAfterMs);
        QString error;
        EXPECT_TRUE(file_.SaveIfChanged(kept_, kSavedAt, &error)) << error.toStdString();
    }

    QString Path() const { return dir_.filePath(QStringLiteral("unit.state")); }

    QTemporaryDir dir_;
    Unit saved_;
    LiveUnit live_{saved_.model, saved_.settings, saved_.logs, saved_.events, 1};
    LiveKept kept_;
    UnitStateFile file_{Path(), saved_.model, saved_.settings, saved_.logs};
};

TEST_F(UnitStateFileTest, LoadedUnitHoldsTheSameMemoryAndItsClockRanOn)
{
    ASSERT_EQ(Shown(kept_.clockUtc), Shown(Wall(10, 45, 30, 500))); // summer time: three hours behind
    Unit loaded;
    UnitStateFile file(Path(), loaded.model, loaded.settings, loaded.logs);
    LiveKept kept;
    bool found = false;
    QString error;
    ASSERT_TRUE(file.Load(kSavedAt.addMSecs(89500), &kept, &found, &error)) << error.toStdString();
    EXPECT_TRUE(found);
    EXPECT_EQ(Shown(loaded.model.State().clock), Shown(Wall(13, 47, 0)));
    EXPECT_EQ(loaded.settings.Image(), saved_.settings.Image());
    EXPECT_EQ(loaded.logs.Pointers().toHex(), saved_.logs.Pointers().toHex());
    for (int log = 0; log < kLogs; ++log) {
        for (int slot = 0; slot < (log == kEventLog ? kEventLogPages : kSensorLogPages); ++slot) {
            for (int offset : {0, kLogHalfBytes})
                ASSERT_EQ(loaded.logs.ReadHalfPage(log, offset, slot),
                          saved_.logs.ReadHalfPage(log, offset, slot))
                    << log << " " << slot << " " << offset;
        }
    }
    EXPECT_EQ(kept.nextSampleUtc, kept_.nextSampleUtc);
}

// The unit goes on from where its clock has run to: what it logged is not logged again, what fell
// due while it was off is not logged at all, and its pages go on.
TEST_F(UnitStateFileTest, ResumedUnitLogsOnFromItsClock)
{
    const struct
    {
        qint64 offMs;
        QDateTime clock;
        QDateTime firstSample; // in the first minute after the start
        int blocksOn;          // a minute after the last sample it continues its block
    } cases[] = {
        {200, Wall(13, 45, 30, 700), Wall(13, 46, 0), 0},
        {29500, Wall(13, 46, 0), Wall(13, 46, 0), 0},
        {89500, Wall(13, 47, 0), Wall(13, 47, 0), 1},
        {147000, Wall(13, 47, 57, 500), Wall(13, 48, 0), 1},
        {-3600000, Wall(13, 45, 30, 500), Wall(13, 46, 0), 0}, // the computer's clock set back
    };
    const WrittenSample last = saved_.logs.Samples(1).back();
    ASSERT_EQ(Shown(last.when), Shown(Wall(13, 45, 0)));
    for (const auto& c : cases) {
        Unit loaded;
        UnitStateFile file(Path(), loaded.model, loaded.settings, loaded.logs);
        LiveKept kept;
        bool found = false;
        QString error;
        ASSERT_TRUE(file.Load(kSavedAt.addMSecs(c.offMs), &kept, &found, &error)) << error.toStdString();
        EXPECT_EQ(Shown(loaded.model.State().clock), Shown(c.clock)) << c.offMs;
        LiveUnit live(loaded.model, loaded.settings, loaded.logs, loaded.events, 1);
        live.Resume(kept);
        live.AdvanceTo(59999);
        const auto samples = loaded.logs.Samples(1);
        ASSERT_EQ(samples.size(), 1u) << c.offMs;
        EXPECT_EQ(Shown(samples[0].when), Shown(c.firstSample)) << c.offMs;
        EXPECT_EQ(samples[0].pageSN, last.pageSN) << c.offMs;
        EXPECT_EQ(samples[0].block, last.block + c.blocksOn) << c.offMs;
    }
}

TEST_F(UnitStateFileTest, RefusesAFileItCannotReadOrOfAnotherUnitAndLeavesTheUnitAsItWas)
{
    QFile junk(dir_.filePath(QStringLiteral("junk.state")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("telvaron-unitsim-state") > 0);
    junk.close();
    const struct
    {
        QString serial, path;
        bool ok, found;
        QString error;
    } cases[] = {
        {QStringLiteral("TV1-000101"), dir_.filePath(QStringLiteral("none.state")), true, false, {}},
        {QStringLiteral("TV2-000202"), Path(), false, true,
         QStringLiteral("holds the memory of unit TV1-000101")},
        {QStringLiteral("TV1-000101"), junk.fileName(), false, true, QStringLiteral("holds no unit memory")},
    };
    for (const auto& c : cases) {
        Unit unit(c.serial);
        const QByteArray pointers = unit.logs.Pointers();
        UnitStateFile file(c.path, unit.model, unit.settings, unit.logs);
        LiveKept kept;
        bool found = !c.found;
        QString error;
        EXPECT_EQ(file.Load(kSavedAt, &kept, &found, &error), c.ok) << c.path.toStdString();
        EXPECT_EQ(found, c.found) << c.path.toStdString();
        EXPECT_TRUE(c.error.isEmpty() ? error.isEmpty() : error.contains(c.error)) << error.toStdString();
        EXPECT_EQ(Shown(unit.model.State().clock), Shown(Wall(13, 45, 0)));
        EXPECT_EQ(unit.logs.Pointers(), pointers);
    }
}

TEST_F(UnitStateFileTest, SavesOnlyAfterAChange)
{
    const auto savedAgain = [&](const LiveKept& kept, qint64 laterMs) {
        QFile::remove(Path());
        QString error;
        EXPECT_TRUE(file_.SaveIfChanged(kept, kSavedAt.addMSecs(laterMs), &error)) << error.toStdString();
        return QFile::exists(Path());
    };
    LiveKept later = kept_;
    later.clockUtc = later.clockUtc.addMSecs(20000); // the clock running on changes nothing
    EXPECT_FALSE(savedAgain(later, 20000));
    later.clockUtc = later.clockUtc.addSecs(3600); // the unit's clock set an hour on
    EXPECT_TRUE(savedAgain(later, 20000));
    EXPECT_FALSE(savedAgain(later, 20000));
    saved_.logs.AppendSample(1, kSavedAt, 1, 215);
    EXPECT_TRUE(savedAgain(later, 20000));
    QByteArray image = saved_.settings.Image();
    image[100] = char(image[100] ^ 1);
    saved_.settings.SetImage(image);
    EXPECT_TRUE(savedAgain(later, 20000));
    later.outside[3] = true;
    EXPECT_TRUE(savedAgain(later, 20000));
}

} // namespace
