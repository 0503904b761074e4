#include "pg_statements.h"
#include "test_databases.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

class WidenedColumn : public BothDriversTest
{
protected:
    static bool Read(DbSession& db)
    {
        const auto faults = db.Select(
            QStringLiteral(
                "SELECT SyF_Faulttype, SyF_Faultinfo FROM Systems_Faults WHERE SyF_SyI_Serialnumber=?"),
            {"S1"});
        const auto sensors =
            db.Select(QStringLiteral("SELECT SeI_Sensornumber, SeI_RecordsTable_Pagebyteswrit FROM "
                                     "Sensors_Info WHERE SeI_SyI_Serialnumber=?"),
                      {"S1"});
        return faults && faults->size() == 1 && faults->front().value(1).toString() == QStringLiteral("3") &&
               sensors && sensors->size() == 1 && sensors->front().value(1).toInt() == 264;
    }

    // Keeps the statements of Read, then widens a column that each of them returns.
    void WidenUnderKeptStatements()
    {
        ASSERT_TRUE(Db().Exec(
            QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                           "SeI_Sensortype, SeI_RecordsTable_Pagebyteswrit) VALUES ('S1', 1, 1, 1, 264)")));
        ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, "
                                             "SyF_Faulttype, SyF_Faultinfo) VALUES ('S1', 2, '3')")));
        ASSERT_TRUE(Read(Db())) << "the statements are kept";
        Database terminal(QStringLiteral("terminal"));
        ASSERT_TRUE(TestDb().OpenConnection(terminal));
        ASSERT_TRUE(terminal.Exec(
            QStringLiteral("ALTER TABLE Systems_Faults ALTER COLUMN SyF_Faultinfo TYPE VARCHAR(16)")));
        ASSERT_TRUE(terminal.Exec(QStringLiteral(
            "ALTER TABLE Sensors_Info ALTER COLUMN SeI_RecordsTable_Pagebyteswrit TYPE INTEGER")));
    }
};

// A statement of its own that meets the change runs again on its plan made afresh, as does the
// next one that the change touched.
TEST_P(WidenedColumn, AStatementOfItsOwnThatMeetsWidenedColumnsRunsAgain)
{
    WidenUnderKeptStatements();
    EXPECT_TRUE(Read(Db())) << Db().LastError().description.toStdString();
}

// Operators widen columns of a running database. A failed statement ends a transaction's work on
// PostgreSQL: a work that meets the change is run again on plans made afresh, for all the
// statements the change touched, and stores each row once.
TEST_P(WidenedColumn, AWorkThatMeetsWidenedColumnsIsRunAgainAndStoresOnce)
{
    WidenUnderKeptStatements();

    const auto work = [](DbSession& s) {
        return s.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                     "SyF_Faultinfo) VALUES (?, 0, '1')"),
                      {"S2"})
                   .has_value() &&
               Read(s);
    };
    int failed = 0;
    while (failed < 3 && !Db().Transaction(work))
        ++failed;
    EXPECT_EQ(failed, 0) << Db().LastError().description.toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults WHERE SyF_SyI_Serialnumber='S2'")),
              1);
    EXPECT_TRUE(Read(Db())) << Db().LastError().description.toStdString();
}

// The plans that the connection forgets, made stale or making room for others, are dropped on the
// server too: a long session keeps no more there than its limit.
TEST_P(WidenedColumn, PlansForgottenAreDroppedOnTheServer)
{
    const QString kept = QStringLiteral("SELECT count(*) FROM pg_prepared_statements");
    WidenUnderKeptStatements();
    ASSERT_TRUE(Read(Db())) << Db().LastError().description.toStdString();
    EXPECT_EQ(Count(kept), 2) << "only the statements of the read, made afresh";

    int most = 0;
    for (int i = 0; i < PgStatements::kMaxStatements + 16; ++i) {
        ASSERT_TRUE(Db().Select(QStringLiteral("SELECT %1 + ?").arg(i), {i}));
        most = std::max(most, Count(kept));
    }
    EXPECT_LE(most, PgStatements::kMaxStatements);
}

// A work that changes a column itself between two reads of it meets a stale plan at every run: it
// runs once more, no further, and fails well within the call's bound.
TEST_P(WidenedColumn, AWorkThatMeetsAStalePlanAtEveryRunRunsTwice)
{
    // Shared with the work, which a connection given up at the bound would run on.
    const auto runs = std::make_shared<std::atomic<int>>(0);
    const auto work = [runs](DbSession& s) {
        ++*runs;
        const QString read =
            QStringLiteral("SELECT SyF_Faultinfo FROM Systems_Faults WHERE SyF_SyI_Serialnumber=?");
        return s.Select(read, {"S1"}) &&
               s.Exec(QStringLiteral(
                   "ALTER TABLE Systems_Faults ALTER COLUMN SyF_Faultinfo TYPE VARCHAR(16)")) &&
               s.Select(read, {"S1"});
    };
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(Db().Transaction(work));
    EXPECT_LT(took.elapsed(), CallBoundOfTest().count() / 2);
    EXPECT_EQ(*runs, 2);
    EXPECT_FALSE(Db().LastError().description.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Drivers, WidenedColumn, ::testing::Values(Database::Driver::PostgreSQL), DriverName);

} // namespace
