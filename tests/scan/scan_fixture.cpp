#include "scan_fixture.h"

#include "folder_serial_ports.h"
#include "log_compare.h"

#include <db/database.h>

void ScanFixture::SetUp()
{
    BothDriversTest::SetUp();
    const QString folder = dir.path();
    link = std::make_unique<UnitLink>(FolderSerialPorts(folder), ShortLinkTimings());
    engine = std::make_unique<ScanEngine>(
        db(), *link, flags, window, timers, [this] { ++ended; },
        [this] { return now = now.addSecs(passSeconds); });
}

void ScanFixture::TearDown()
{
    engine.reset();
    link.reset();
    units.clear();
}

namespace {
std::unique_ptr<SimUnit> NewSimUnit(const QString& serial, const QString& model)
{
    auto unit = std::make_unique<SimUnit>();
    unit->model.update([&](unitsim::UnitState& s) {
        s.identity.serialNumber = serial;
        s.identity.model = model;
        s.identity.sensorCount = model.contains(QStringLiteral("TELVARON-1")) ? 20 : 8;
    });
    unitsim::InstallUnitCommands(unit->sim, unit->model);
    unitsim::InstallLogCommands(unit->sim, unit->model, unit->logs, unit->events);
    return unit;
}
} // namespace

SimUnit& ScanFixture::AddSerialUnit(const QString& serial, int com, const QString& model)
{
    auto unit = NewSimUnit(serial, model);
    EXPECT_TRUE(unit->sim.servePty(dir.filePath(QStringLiteral("com%1").arg(com))));
    EXPECT_TRUE(AddUnitRows(db(), serial, 1, QStringLiteral("%1-115200").arg(com), model));
    return *(units[serial] = std::move(unit));
}

SimUnit& ScanFixture::AddTcpUnit(const QString& serial, const QString& model)
{
    auto unit = NewSimUnit(serial, model);
    EXPECT_TRUE(unit->sim.serveTcp(0));
    EXPECT_TRUE(
        AddUnitRows(db(), serial, 0, QStringLiteral("127.0.0.1:%1-115200").arg(unit->sim.tcpPort()), model));
    return *(units[serial] = std::move(unit));
}

void ScanFixture::AddRequest(const QVariant& serial, const QVariant& type, const QVariant& attributes)
{
    ASSERT_TRUE(db().exec(QStringLiteral("INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, "
                                         "TrmReq_Requesttype, TrmReq_Attributes) VALUES (?, ?, ?)"),
                          {serial, type, attributes}));
}

QStringList ScanFixture::Replies()
{
    QStringList out;
    const auto rows = db().select(QStringLiteral(
        "SELECT TrmReq_Requestreply, TrmReq_Requestcompleted FROM Terminal_Requests ORDER BY TrmReq_ID"));
    for (const QSqlRecord& r : rows.value_or(QList<QSqlRecord>{}))
        out << QStringLiteral("%1/%2").arg(r.value(0).toInt()).arg(r.value(1).toInt());
    return out;
}

int ScanFixture::PassUntilSettled(int limit)
{
    for (int passes = 1; passes <= limit; ++passes) {
        Pass();
        // An offline unit is found again after its back-off, and then goes on.
        bool pending = false, online = true;
        for (const SystemRuntimeRecord& r : engine->RuntimeSystems()) {
            pending = pending || r.MoreLogPending || r.LinkState != LinkOnline;
            online = online && r.LinkState == LinkOnline;
        }
        if (!pending)
            return passes;
        if (online) {
            EXPECT_EQ(timers.interval, 500);
        }
    }
    ADD_FAILURE() << "logs still pending";
    return limit;
}

void ScanFixture::ExpectLogsMirrored(const QString& serial, int sensors)
{
    SimUnit& unit = *units.at(serial);
    for (int n = 1; n <= sensors; ++n)
        EXPECT_EQ(StoredSamples(db(), serial, n), ExpectedSamples(unit.logs.samples(n))) << n;
    EXPECT_EQ(StoredEvents(db(), serial), ExpectedEvents(unit.logs.events()));
}
