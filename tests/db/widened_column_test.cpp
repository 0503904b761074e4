#include "test_databases.h"

#include <gtest/gtest.h>

namespace {

// Operators widen columns of a running database; the server's kept statements that read them
// must go on.
class WidenedColumn : public BothDriversTest
{
protected:
    void SetUp() override
    {
        BothDriversTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(TestDb().OpenConnection(terminal_));
        ASSERT_TRUE(
            Db().Exec(QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, "
                                     "SeI_Used, SeI_Sensortype, SeI_RecordsTable_Pagebyteswrit) "
                                     "VALUES ('S1', 1, 1, 1, 264)")));
        ASSERT_TRUE(
            Db().Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                     "SyF_Faultinfo) VALUES ('S1', 2, '3')")));
        // Both statements are kept by the first run.
        ASSERT_EQ(Faults(Db()), QStringLiteral("3"));
        ASSERT_EQ(PageBytes(Db()), 264);
    }

    void Widen(const QString& table, const QString& column, const QString& type)
    {
        ASSERT_TRUE(
            terminal_.Exec(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE %3").arg(table, column, type)))
            << terminal_.LastError().description.toStdString();
    }
    static QString Faults(DbSession& db)
    {
        const auto rows = db.Select(
            QStringLiteral(
                "SELECT SyF_Faulttype, SyF_Faultinfo FROM Systems_Faults WHERE SyF_SyI_Serialnumber=?"),
            {"S1"});
        return rows && rows->size() == 1 ? rows->front().value(1).toString() : QString();
    }
    static int PageBytes(DbSession& db)
    {
        const auto rows =
            db.Select(QStringLiteral("SELECT SeI_Sensornumber, SeI_RecordsTable_Pagebyteswrit FROM "
                                     "Sensors_Info WHERE SeI_SyI_Serialnumber=?"),
                      {"S1"});
        return rows && rows->size() == 1 ? rows->front().value(1).toInt() : -1;
    }

    Database terminal_{QStringLiteral("terminal")};
};

TEST_P(WidenedColumn, AStatementThatReadsAWidenedColumnRunsOnAtOnce)
{
    Widen(QStringLiteral("Systems_Faults"), QStringLiteral("SyF_Faultinfo"), QStringLiteral("VARCHAR(16)"));
    Widen(QStringLiteral("Sensors_Info"), QStringLiteral("SeI_RecordsTable_Pagebyteswrit"),
          QStringLiteral("INTEGER"));
    EXPECT_EQ(Faults(Db()), QStringLiteral("3")) << Db().LastError().description.toStdString();
    EXPECT_EQ(PageBytes(Db()), 264) << Db().LastError().description.toStdString();
    EXPECT_TRUE(Db().IsOpen());
}

// A failed statement ends a transaction's work on PostgreSQL: that work fails whole, once for
// the change, and the caller's next try stores it, each row once.
TEST_P(WidenedColumn, AWorkThatMeetsAWidenedColumnFailsOnceWholeAndThenStores)
{
    Widen(QStringLiteral("Systems_Faults"), QStringLiteral("SyF_Faultinfo"), QStringLiteral("VARCHAR(16)"));
    Widen(QStringLiteral("Sensors_Info"), QStringLiteral("SeI_RecordsTable_Pagebyteswrit"),
          QStringLiteral("INTEGER"));
    const auto work = [](DbSession& s) {
        return s.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                     "SyF_Faultinfo) VALUES (?, 0, '1')"),
                      {"S2"})
                   .has_value() &&
               Faults(s) == QStringLiteral("3") && PageBytes(s) == 264;
    };
    int failed = 0;
    while (failed < 3 && !Db().Transaction(work))
        ++failed;
    EXPECT_LE(failed, 1) << Db().LastError().description.toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults WHERE SyF_SyI_Serialnumber='S2'")),
              1);
    EXPECT_EQ(Faults(Db()), QStringLiteral("3"));
}

INSTANTIATE_TEST_SUITE_P(Drivers, WidenedColumn, ::testing::Values(Database::Driver::PostgreSQL), DriverName);

} // namespace
