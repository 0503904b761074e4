#include "test_databases.h"
#include "wall_clock.h"

#include <QSqlRecord>

#include <gtest/gtest.h>

#include <string_view>

namespace {

class DatabaseTest : public BothDriversTest
{
protected:
    bool InsertFault(const QString& serial) { return InsertFault(Db(), serial); }
    static bool InsertFault(DbSession& db, const QString& serial)
    {
        return db
            .Exec("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES "
                  "(?, 0, ?)",
                  {serial, "2"})
            .has_value();
    }
};

TEST_P(DatabaseTest, BoundTextIsStoredAsItIs)
{
    const QStringList texts = {"O'Brien", "x'); DROP TABLE Records; --", "\"quoted\" \\ back",
                               "ΘΕΣΣΑΛΟΝΙΚΗ 1", "?"};
    for (const QString& text : texts)
        ASSERT_TRUE(InsertFault(text)) << Db().LastError().description.toStdString();
    for (const QString& text : texts) {
        const auto rows = Db().Select(
            "SELECT SyF_SyI_Serialnumber FROM Systems_Faults WHERE SyF_SyI_Serialnumber = ?", {text});
        ASSERT_TRUE(rows);
        ASSERT_EQ(rows->size(), 1) << text.toStdString();
        // Column names are asked in the schema's own spelling on both drivers.
        EXPECT_EQ(rows->front().value("SyF_SyI_Serialnumber").toString(), text);
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Records"), 0);
}

TEST_P(DatabaseTest, NumbersAndNullsComeBackUnchanged)
{
    const struct
    {
        float value;
        QVariant counter;
    } cases[] = {{30.0f, 2147483647}, {-1.0f, QVariant()}, {819.2f, 0}, {-0.1f, -5}};
    int sensor = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(
            Db().Exec("INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, SeE_Sensornumber, SeE_Eventnumber, "
                      "SeE_Recordedvalue, SeE_BeforeCounter) VALUES (?, ?, 1, ?, ?)",
                      {"S1", ++sensor, c.value, c.counter}))
            << Db().LastError().description.toStdString();
    }
    const auto rows = Db().Select("SELECT SeE_Recordedvalue, SeE_BeforeCounter FROM Sensors_Events "
                                  "ORDER BY SeE_Sensornumber");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), std::size(cases));
    for (qsizetype i = 0; i < rows->size(); ++i) {
        EXPECT_EQ(rows->at(i).value(0).toFloat(), cases[i].value);
        EXPECT_EQ(rows->at(i).value(1).isNull(), cases[i].counter.isNull());
        if (!cases[i].counter.isNull()) {
            EXPECT_EQ(rows->at(i).value(1).toInt(), cases[i].counter.toInt());
        }
    }
}

// A terminal reads what the unit sent: 0.1, not the single's binary neighbour 0.100000001..., and
// values of the narrow integer types are numbers, whichever type the caller held them in.
TEST_P(DatabaseTest, ASingleIsStoredAsItsDecimalAndNarrowIntegersAsNumbers)
{
    const struct
    {
        QVariant sensor;
        float value;
        double read;
    } cases[] = {{QVariant::fromValue(qint16(1)), 0.1f, 0.1},
                 {QVariant::fromValue(quint8(20)), -819.1f, -819.1},
                 {QVariant::fromValue(quint16(3)), 3e-5f, 3e-5},
                 // Seven significant digits, as many as a single holds.
                 {QVariant::fromValue(qint16(4)), 1234.567f, 1234.567}};
    for (const auto& c : cases)
        ASSERT_TRUE(Db().Exec("INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, SeE_Sensornumber, "
                              "SeE_Eventnumber, SeE_Recordedvalue) VALUES ('S1', ?, 1, ?)",
                              {c.sensor, c.value}))
            << Db().LastError().description.toStdString();
    for (const auto& c : cases) {
        const QString sql =
            GetParam() == Database::Driver::SQLite
                ? "SELECT SeE_Recordedvalue, typeof(SeE_Recordedvalue) FROM Sensors_Events "
                  "WHERE SeE_Sensornumber = ? AND typeof(SeE_Sensornumber) = 'integer'"
                : "SELECT SeE_Recordedvalue, 'real' FROM Sensors_Events WHERE SeE_Sensornumber = ?";
        const auto rows = Db().Select(sql, {c.sensor.toInt()});
        ASSERT_TRUE(rows && rows->size() == 1) << c.sensor.toInt();
        EXPECT_EQ(rows->front().value(0).toDouble(), c.read);
        EXPECT_EQ(rows->front().value(1).toString(), "real");
    }
}

TEST_P(DatabaseTest, FailedStatementReportsItsErrorTheNextSuccessClearsItAndCloseEndsTheConnection)
{
    EXPECT_FALSE(Db().Exec("INSERT INTO No_Such_Table (x) VALUES (?)", {1}));
    EXPECT_FALSE(Db().LastError().description.isEmpty());
    if (GetParam() == Database::Driver::PostgreSQL) {
        EXPECT_TRUE(Db().LastError().description.startsWith("ORA-00000: "));
    }
    EXPECT_FALSE(
        Db().Exec("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype) VALUES (?, ?)", {1}));
    EXPECT_TRUE(Db().LastError().description.contains("1 values for 2 parameters"))
        << Db().LastError().description.toStdString();
    EXPECT_TRUE(Db().Select("SELECT COUNT(*) FROM Records"));
    EXPECT_TRUE(Db().LastError().description.isEmpty());
    Db().Close();
    EXPECT_FALSE(Db().IsOpen());
    EXPECT_FALSE(Db().Exec("DELETE FROM Records"));
    EXPECT_FALSE(Db().LastError().description.isEmpty());
    Db().Close();
}

TEST_P(DatabaseTest, TransactionCommitsOnlyCompleteWork)
{
    const struct
    {
        const char* name;
        std::function<bool(DbSession&)> work;
        bool committed;
        int faultsAfter;
    } cases[] = {
        {"completed", [](DbSession& s) { return InsertFault(s, "A") && InsertFault(s, "B"); }, true, 2},
        {"gave up", [](DbSession& s) { return InsertFault(s, "C") && false; }, false, 2},
        // The second row breaks the key: the first one must go too.
        {"failed statement", [](DbSession& s) { return InsertFault(s, "D") && InsertFault(s, "D"); }, false,
         2},
        {"inner part gave up",
         [](DbSession& s) {
             return InsertFault(s, "E") &&
                    s.Transaction([](DbSession& i) { return InsertFault(i, "F") && false; });
         },
         false, 2},
        {"inner part completed",
         [](DbSession& s) {
             return InsertFault(s, "G") && s.Transaction([](DbSession& i) { return InsertFault(i, "H"); });
         },
         true, 4},
        // The inner part ends nothing of the outer one.
        {"gave up after an inner part completed",
         [](DbSession& s) {
             return InsertFault(s, "I") && s.Transaction([](DbSession& i) { return InsertFault(i, "J"); }) &&
                    false;
         },
         false, 4},
        {"failed statement after an inner part completed",
         [](DbSession& s) {
             return s.Transaction([](DbSession& i) { return InsertFault(i, "K"); }) && InsertFault(s, "K");
         },
         false, 4},
        // A work that goes on past a failed statement is not complete, whatever it returns.
        {"went on after a failed statement",
         [](DbSession& s) {
             InsertFault(s, "L");
             s.Exec("INSERT INTO No_Such_Table (x) VALUES (?)", {1});
             InsertFault(s, "M");
             return true;
         },
         false, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Db().Transaction(c.work), c.committed) << c.name;
        if (c.name == std::string_view("failed statement")) {
            EXPECT_FALSE(Db().LastError().description.isEmpty()); // kept past the rollback
        }
        if (std::string_view(c.name).find("went on") != std::string_view::npos) {
            // The first error, not what the statements after it met.
            EXPECT_TRUE(Db().LastError().description.contains("no_such_table", Qt::CaseInsensitive))
                << c.name << ": " << Db().LastError().description.toStdString();
        }
        EXPECT_FALSE(Db().InTransaction()) << c.name;
        EXPECT_EQ(Count("SELECT COUNT(*) FROM Systems_Faults"), c.faultsAfter) << c.name;
    }
    // No transaction was left open: another connection can write at once.
    Database terminal("terminal");
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    EXPECT_TRUE(terminal.Exec("INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0)"))
        << terminal.LastError().description.toStdString();
}

// Unit times carry no zone: nothing may shift them, not even inside a summer-time gap or the
// doubled autumn hour of the machine's zone, nor the zone of the database session.
TEST_P(DatabaseTest, WallClockTimesComeBackUnchangedUnderSummerTime)
{
    const MachineTimeZone athens("Europe/Athens");
    const QDateTime local(QDate(2024, 3, 31), QTime(3, 30), Qt::LocalTime);
    ASSERT_TRUE(!local.isValid() || local.time() != QTime(3, 30)) << "no summer-time rules for Europe/Athens";
    if (GetParam() == Database::Driver::PostgreSQL) {
        ASSERT_TRUE(Db().Exec("SET TIME ZONE 'America/New_York'"));
    }

    const QDateTime times[] = {
        QDateTime(QDate(2024, 3, 31), QTime(3, 30), Qt::UTC),          // gap in Athens
        QDateTime(QDate(2024, 10, 27), QTime(3, 30), Qt::UTC),         // doubled hour in Athens
        QDateTime(QDate(2024, 3, 10), QTime(2, 30), Qt::UTC),          // gap in New York
        QDateTime(QDate(2009, 12, 24), QTime(13, 45), Qt::UTC),        //
        QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC),            //
        QDateTime(QDate(2024, 7, 1), QTime(23, 59, 59, 250), Qt::UTC), //
    };
    int number = 0;
    for (const QDateTime& when : times) {
        ASSERT_TRUE(
            Db().Exec("INSERT INTO Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, "
                      "Rec_SensRecSN) VALUES (?, 1, ?, ?)",
                      {"S1", when, ++number}))
            << Db().LastError().description.toStdString();
    }
    const auto rows = Db().Select("SELECT Rec_Datetime, Rec_SensRecSN FROM Records ORDER BY Rec_SensRecSN");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), std::size(times));
    for (qsizetype i = 0; i < rows->size(); ++i) {
        const QDateTime read = WallClockFromValue(rows->at(i).value("Rec_Datetime"));
        EXPECT_EQ(read.date(), times[i].date()) << i;
        EXPECT_EQ(read.time(), times[i].time()) << i;
        // The same value finds its row again, so comparisons in queries work too.
        const auto found =
            Db().Select("SELECT Rec_SensRecSN FROM Records WHERE Rec_Datetime = ?", {times[i]});
        ASSERT_TRUE(found);
        ASSERT_EQ(found->size(), 1) << i;
        EXPECT_EQ(found->front().value(0).toInt(), i + 1);
    }
    const auto ordered = Db().Select("SELECT Rec_SensRecSN FROM Records ORDER BY Rec_Datetime");
    ASSERT_TRUE(ordered);
    QList<int> order;
    for (const QSqlRecord& row : *ordered)
        order << row.value(0).toInt();
    EXPECT_EQ(order, QList<int>({5, 4, 3, 1, 6, 2}));
    // A Null time stays Null.
    ASSERT_TRUE(
        Db().Exec("INSERT INTO Systems_Current_Condition (SyCC_SyI_Serialnumber, SyCC_Rtc) VALUES (?, ?)",
                  {"S1", QDateTime()}));
    const auto rtc = Db().Select("SELECT SyCC_Rtc FROM Systems_Current_Condition");
    ASSERT_TRUE(rtc);
    EXPECT_TRUE(rtc->front().value(0).isNull());
}

INSTANTIATE_BOTH_DRIVERS(DatabaseTest);

} // namespace
