#include "systems_fixture.h"

#include "folder_serial_ports.h"

#include <db/database.h>
#include <systems/unit_addition.h>

void SystemsFixture::SetUp()
{
    BothDriversTest::SetUp();
    const QString folder = dir.path();
    link = std::make_unique<UnitLink>(FolderSerialPorts(folder), ShortLinkTimings());
}

void SystemsFixture::TearDown()
{
    link.reset();
    units.clear();
}

namespace {
std::unique_ptr<SimUnit> NewUnit(const QString& serial, const QString& model,
                                 const unitsim::ImageContents& contents)
{
    auto unit = std::make_unique<SimUnit>();
    unit->model.update([&](unitsim::UnitState& s) {
        s.identity.serialNumber = serial;
        s.identity.model = model;
        s.identity.softwareVersion = QStringLiteral("2.31");
        s.identity.hardwareVersion = QStringLiteral("B");
        s.identity.systemNumber = contents.systemNumber;
        s.identity.sensorCount = contents.twentySensors ? 20 : 8;
    });
    unit->memory.setImage(unitsim::BuildSettingsImage(contents));
    unitsim::InstallUnitCommands(unit->sim, unit->model);
    unitsim::InstallSettingsCommands(unit->sim, unit->model, unit->memory);
    return unit;
}
} // namespace

SimUnit& SystemsFixture::ServePty(const QString& serial, int com, const QString& model,
                                  const unitsim::ImageContents& contents)
{
    auto unit = NewUnit(serial, model, contents);
    EXPECT_TRUE(unit->sim.servePty(dir.filePath(QStringLiteral("com%1").arg(com))));
    unit->address = SerialAddress(com);
    units.push_back(std::move(unit));
    return *units.back();
}

SimUnit& SystemsFixture::ServeTcp(const QString& serial, const QString& model,
                                  const unitsim::ImageContents& contents)
{
    auto unit = NewUnit(serial, model, contents);
    EXPECT_TRUE(unit->sim.serveTcp(0));
    QString problem;
    unit->address = *TcpAddress(QStringLiteral("127.0.0.1"), QString::number(unit->sim.tcpPort()), &problem);
    units.push_back(std::move(unit));
    return *units.back();
}

bool SystemsFixture::Add(const UnitAddress& address, std::optional<QString> code)
{
    prompter.texts.push_back(code);
    return UnitAddition(db(), *link, prompter).Add(address);
}

QString SystemsFixture::Column(const QString& sql)
{
    QStringList values;
    for (const QSqlRecord& r : db().select(sql).value_or(QList<QSqlRecord>{}))
        values << r.value(0).toString();
    return values.join(QLatin1Char(' '));
}

namespace {
QStringList Rows(Database& db, const QStringList& tables)
{
    QStringList out;
    for (const QString& table : tables) {
        const auto rows = db.select(QStringLiteral("SELECT * FROM %1").arg(table));
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
    return Rows(db(), {QStringLiteral("Systems_Info"), QStringLiteral("Sensors_Info"),
                       QStringLiteral("Powermonitoring_Info")});
}

QStringList SystemsFixture::AllTables()
{
    const auto names =
        GetParam() == Database::Driver::SQLite
            ? db().select(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))
            : db().select(
                  QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = ?"),
                  {testDb().pgSchema()});
    QStringList tables;
    for (const QSqlRecord& r : names.value_or(QList<QSqlRecord>{}))
        tables << r.value(0).toString();
    EXPECT_GE(tables.size(), 13);
    return Rows(db(), tables);
}
