#include "scan_fixture.h"

#include "folder_serial_ports.h"
#include "log_compare.h"

#include <db/database.h>

void ScanFixture::SetUp()
{
    BothDriversTest::SetUp();
    const QString folder = dir_.path();
    link_ = std::make_unique<UnitLink>(FolderSerialPorts(folder), ShortLinkTimings());
    engine_ = std::make_unique<ScanEngine>(
        Db(), *link_, flags_, window_, timers_, [this] { ++ended_; },
        [this] { return now_ = now_.addSecs(passSeconds_); });
}

void ScanFixture::TearDown()
{
    engine_.reset();
    link_.reset();
    units_.clear();
}

namespace {
std::unique_ptr<SimUnit> NewSimUnit(const QString& serial, const QString& model)
{
    auto unit = std::make_unique<SimUnit>();
    unit->model.Update([&](unitsim::UnitState& s) {
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
    EXPECT_TRUE(unit->sim.ServePty(dir_.filePath(QStringLiteral("com%1").arg(com))));
    EXPECT_TRUE(AddUnitRows(Db(), serial, 1, QStringLiteral("%1-115200").arg(com), model));
    return *(units_[serial] = std::move(unit));
}

SimUnit& ScanFixture::AddTcpUnit(const QString& serial, const QString& model)
{
    auto unit = NewSimUnit(serial, model);
    EXPECT_TRUE(unit->sim.ServeTcp(0));
    EXPECT_TRUE(
        AddUnitRows(Db(), serial, 0, QStringLiteral("127.0.0.1:%1-115200").arg(unit->sim.TcpPort()), model));
    return *(units_[serial] = std::move(unit));
}

void ScanFixture::AddRequest(const QVariant& serial, const QVariant& type, const QVariant& attributes)
{
    ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, "
                                         "TrmReq_Requesttype, TrmReq_Attributes) VALUES (?, ?, ?)"),
                          {serial, type, attributes}));
}

QStringList ScanFixture::Replies()
{
    QStringList out;
    const auto rows = Db().Select(QStringLiteral(
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
        for (const SystemRuntimeRecord& r : engine_->RuntimeSystems()) {
            pending = pending || r.MoreLogPending || r.LinkState != LinkOnline;
            online = online && r.LinkState == LinkOnline;
        }
        if (!pending)
            return passes;
        if (online) {
            EXPECT_EQ(timers_.interval, 500);
        }
    }
    ADD_FAILURE() << "logs still pending";
    return limit;
}

void ScanFixture::ExpectLogsMirrored(const QString& serial, int sensors)
{
    SimUnit& unit = *units_.at(serial);
    for (int n = 1; n <= sensors; ++n)
        EXPECT_EQ(StoredSamples(Db(), serial, n), ExpectedSamples(unit.logs.Samples(n))) << n;
    EXPECT_EQ(StoredEvents(Db(), serial), ExpectedEvents(unit.logs.Events()));
}
