#include "test_databases.h"

#include <db/database.h>
#include <scan/event_list_mirror.h>

#include <array>

namespace {
class EventListMirror : public BothDriversTest
{
protected:
    // Makes every delete from table fail, as a server that refuses the statement would.
    void RefuseDeletes(const QString& table)
    {
        if (GetParam() == Database::Driver::SQLite) {
            ASSERT_TRUE(Db().Exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE DELETE ON %1 BEGIN "
                                                 "SELECT RAISE(ABORT, 'refused'); END")
                                      .arg(table)));
            return;
        }
        ASSERT_TRUE(Db().Exec(QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger AS $$ "
                                             "BEGIN RAISE EXCEPTION 'refused'; END $$ LANGUAGE plpgsql")));
        ASSERT_TRUE(Db().Exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON %1 FOR EACH ROW EXECUTE FUNCTION refuse()")
                .arg(table)));
    }

    QList<int> Recipients(const QString& sql)
    {
        QList<int> out;
        for (const QSqlRecord& r : Db().Select(sql).value_or(QList<QSqlRecord>{}))
            out << r.value(0).toInt();
        return out;
    }
};
} // namespace

// Slot 1 present, slot 2 gone: the rewrite of slot 1 and the removal of slot 2 go together.
TEST_P(EventListMirror, FailedListLeavesEarlierRowsAsTheyWere)
{
    for (int e : {1, 2}) {
        ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Powermonitoring_Events (PmE_SyI_Serialnumber, "
                                             "PmE_Eventnumber, PmE_Recipients) VALUES ('U1', ?, 3)"),
                              {e}));
        ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, "
                                             "SeE_Sensornumber, SeE_Eventnumber, SeE_Recipients) "
                                             "VALUES ('U1', 1, ?, 3)"),
                              {e}));
    }
    RefuseDeletes(QStringLiteral("Powermonitoring_Events"));
    RefuseDeletes(QStringLiteral("Sensors_Events"));
    std::array<quint8, 13> list{0x11}; // slot 1 present, with a counter

    EXPECT_FALSE(MirrorPowerEventRows(Db(), QStringLiteral("U1"), list));
    EXPECT_FALSE(MirrorSensorEventRows(Db(), QStringLiteral("U1"), 1, list));

    EXPECT_FALSE(Db().InTransaction());
    EXPECT_EQ(Recipients(QStringLiteral("SELECT PmE_Recipients FROM Powermonitoring_Events ORDER BY "
                                        "PmE_Eventnumber")),
              QList<int>({3, 3}));
    EXPECT_EQ(
        Recipients(QStringLiteral("SELECT SeE_Recipients FROM Sensors_Events ORDER BY SeE_Eventnumber")),
        QList<int>({3, 3}));
}

INSTANTIATE_BOTH_DRIVERS(EventListMirror);
