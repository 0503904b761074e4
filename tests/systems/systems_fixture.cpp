#include "systems_fixture.h"

#include "folder_serial_ports.h"

#include <db/database.h>
#include <systems/unit_addition.h>

void SystemsFixture::SetUp()
{
    BothDriversTest::SetUp();
    const QString folder = dir_.path();
    link_ = std::make_unique<UnitLink>(FolderSerialPorts(folder), ShortLinkTimings());
}

void SystemsFixture::TearDown()
{
    link_.reset();
    units_.clear();
}

namespace {
std::unique_ptr<SimUnit> NewUnit(const QString& serial, const QString& model,
                                 const unitsim::ImageContents& contents)
{
    auto unit = std::make_unique<SimUnit>();
    unit->model.Update([&](unitsim::UnitState& s) {
        s.identity.serialNumber = serial;
        s.identity.model = model;
        s.identity.softwareVersion = QStringLiteral("2.31");
        s.identity.hardwareVersion = QStringLiteral("B");
        s.identity.systemNumber = contents.systemNumber;
        s.identity.sensorCount = contents.twentySensors ? 20 : 8;
    });
    unit->memory.SetImage(unitsim::BuildSettingsImage(contents));
    unitsim::InstallUnitCommands(unit->sim, unit->model);
    unitsim::InstallSettingsCommands(unit->sim, unit->model, unit->memory);
    return unit;
}
} // namespace

SimUnit& SystemsFixture::ServePty(const QString& serial, int com, const QString& model,
                                  const unitsim::ImageContents& contents)
{
    auto unit = NewUnit(serial, model, contents);
    EXPECT_TRUE(unit->sim.ServePty(dir_.filePath(QStringLiteral("com%1").arg(com))));
    unit->address = SerialAddress(com);
    units_.push_back(std::move(unit));
    return *units_.back();
}

SimUnit& SystemsFixture::ServeTcp(const QString& serial, const QString& model,
                                  const unitsim::ImageContents& contents)
{
    auto unit = NewUnit(serial, model, contents);
    EXPECT_TRUE(unit->sim.ServeTcp(0));
    QString problem;
    unit->address = *TcpAddress(QStringLiteral("127.0.0.1"), QString::number(unit->sim.TcpPort()), &problem);
    units_.push_back(std::move(unit));
    return *units_.back();
}

bool SystemsFixture::Add(const UnitAddress& address, std::optional<QString> code)
{
    prompter_.texts.push_back(code);
    return UnitAddition(Db(), *link_, prompter_).Add(address);
}

QString SystemsFixture::Column(const QString& sql)
{
    QStringList values;
    for (const QSqlRecord& r : Db().Select(sql).value_or(QList<QSqlRecord>{}))
        values << r.value(0).toString();
    return values.join(QLatin1Char(' '));
}

namespace {
QStringList Rows(Database& db, const QStringList& tables)
{
    QStringList out;
    for (const QString& table : tables) {
        const auto rows = db.Select(QStringLiteral("SELECT * FROM %1").arg(table));
        EXPECT_TRUE(rows) << table.toStdString();
        for (const QSqlRecord& r : rows.value_or(QList<QSqlRecord>{})) {
            QStringList cells{table};
            for (int c = 0; c < r.count(); ++c)
                cells << (r.value(c).isNull() ? QStringLiteral("NULL") : r.value(c).toString());
            out << cells.join(QLatin1Char('|'));
        }
    }
    out.sort();
    return out;
}
} // namespace

QStringList SystemsFixture::UnitTables()
{
    return Rows(Db(), {QStringLiteral("Systems_Info"), QStringLiteral("Sensors_Info"),
                       QStringLiteral("Powermonitoring_Info")});
}

QStringList SystemsFixture::AllTables()
{
    const auto names =
        GetParam() == Database::Driver::SQLite
            ? Db().Select(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))
            : Db().Select(
                  QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = ?"),
                  {TestDb().PgSchema()});
    QStringList tables;
    for (const QSqlRecord& r : names.value_or(QList<QSqlRecord>{}))
        tables << r.value(0).toString();
    EXPECT_GE(tables.size(), 13);
    return Rows(Db(), tables);
}

namespace {
// The name field that both layouts give each sensor, voltage input and the unit: 25 bytes.
constexpr int kNameField = 25;
constexpr int kFirstSensorName = 1304; // twenty-sensor layout, the copy the unit's settings are read from
constexpr int kSystemName = 1879;
} // namespace

QByteArray ImageWithNames(const QByteArray& name)
{
    QByteArray image = unitsim::BuildSettingsImage(unitsim::DefaultImageContents(true, 20, 1));
    for (const int at : {kFirstSensorName, kSystemName})
        image.replace(at, kNameField, name.leftJustified(kNameField, '\0'));
    return image;
}

const QByteArray kLongestNameBytes = QByteArray("\xFF\x18", 2).repeated(12) + "7";

QString LongestName()
{
    return QStringList(12, QStringLiteral("ΕΠΙΤΗΡΗΤΗΣ ΤΑΣΗΣ")).join(u' ') + QStringLiteral(" 7");
}

const QByteArray kWordZeroNameBytes("\xFF\x00\x31", 3);
const QString kWordZeroName = QStringLiteral(" 1");
