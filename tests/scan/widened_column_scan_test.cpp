#include "log_compare.h"
#include "scan_fixture.h"

#include <db/database.h>

namespace {

class WidenedColumnScan : public ScanFixture
{
};

// Operators widen columns of a running database: the download and the status mirror go on in the
// same pass, and every record is stored once.
TEST_P(WidenedColumnScan, ColumnsWidenedWhileAUnitDownloadsLeaveTheStoringGoing)
{
    SimUnit& unit = AddSerialUnit(QStringLiteral("S1"), 1);
    unitsim::PrefillLogs(unit.logs, 20, 230, 70, 5);
    Pass();
    const int before = Count(QStringLiteral("SELECT COUNT(*) FROM Records"));
    ASSERT_GT(before, 0);
    ASSERT_TRUE(Unit(0).MoreLogPending);

    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    for (const char* change : {"Sensors_Info ALTER COLUMN SeI_RecordsTable_Pagebyteswrit TYPE INTEGER",
                               "Systems_Info ALTER COLUMN SyI_EventsTable_Pagebyteswritt TYPE INTEGER",
                               "Systems_Faults ALTER COLUMN SyF_Faultinfo TYPE VARCHAR(16)"}) {
        ASSERT_TRUE(terminal.Exec(QStringLiteral("ALTER TABLE ") + QLatin1String(change)))
            << terminal.LastError().description.toStdString();
    }
    Pass();
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM Records")), before);
    EXPECT_TRUE(window_.status.isEmpty()) << "no step of the pass fails: " << window_.status.toStdString();
    PassUntilSettled();
    ExpectLogsMirrored(QStringLiteral("S1"), 20);
    EXPECT_TRUE(window_.status.isEmpty()) << window_.status.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Drivers, WidenedColumnScan, ::testing::Values(Database::Driver::PostgreSQL),
                         DriverName);

} // namespace
