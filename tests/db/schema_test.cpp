#include "test_databases.h"

#include <QRegularExpression>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString Text(const QSqlRecord& row, int column)
{
    return row.value(column).toString();
}

QStringList Rows(Database& db, const QString& sql, const QVariantList& values = {})
{
    QStringList lines;
    const auto rows = db.Select(sql, values);
    EXPECT_TRUE(rows) << db.LastError().description.toStdString();
    for (const QSqlRecord& row : rows.value_or(QList<QSqlRecord>())) {
        QStringList fields;
        for (int i = 0; i < row.count(); ++i)
            fields << Text(row, i);
        lines << fields.join(u'|');
    }
    return lines;
}

QString PgType(const QString& dataType, const QString& length)
{
    if (dataType == u"character varying")
        return QStringLiteral("VARCHAR(%1)").arg(length);
    if (dataType == u"timestamp without time zone")
        return QStringLiteral("TIMESTAMP");
    return dataType.toUpper();
}

QString ColumnLine(const QString& table, const QString& column, const QString& type, QStringView nulls,
                   const QString& defaultValue, int key)
{
    QString line = table + u'.' + column + u' ' + type;
    if (!nulls.isEmpty())
        line += u' ' + nulls.toString();
    if (!defaultValue.isEmpty())
        line += QStringLiteral(" DEFAULT ") + defaultValue;
    if (key != 0)
        line += QStringLiteral(" KEY ") + QString::number(key);
    return line;
}

// One line per table, column and index, in a form that both drivers give alike: lower-case
// names, declared type, NOT NULL, default, place in the primary key, and AUTO for a row id.
QStringList DescribeSchema(Database& db)
{
    QStringList lines;
    const bool sqlite = db.DriverInUse() == Database::Driver::SQLite;
    const QStringList tables =
        sqlite
            ? Rows(db, "SELECT name FROM sqlite_master WHERE type = 'table'")
            : Rows(db,
                   "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()");
    for (const QString& table : tables) {
        const QString t = table.toLower();
        lines << QStringLiteral("table %1").arg(t);
        if (sqlite) {
            const QStringList columns = Rows(db, QStringLiteral("PRAGMA table_info(%1)").arg(table));
            const auto keyColumns = std::count_if(columns.begin(), columns.end(), [](const QString& c) {
                return c.section(u'|', 5, 5) != u"0";
            });
            for (const QString& column : columns) {
                const QStringList f = column.split(u'|'); // cid|name|type|notnull|dflt|pk
                const bool rowId = f[2] == u"INTEGER" && f[5] == u"1" && keyColumns == 1;
                lines << ColumnLine(t, f[1].toLower(), f[2],
                                    rowId ? u"AUTO" : (f[3] == u"1" ? u"NOT NULL" : u""), f[4], f[5].toInt());
            }
            for (const QString& index : Rows(db, QStringLiteral("PRAGMA index_list(%1)").arg(table))) {
                const QStringList f = index.split(u'|'); // seq|name|unique|origin|partial
                if (f[3] != u"c")
                    continue;
                QStringList names;
                for (const QString& c : Rows(db, QStringLiteral("PRAGMA index_info(%1)").arg(f[1])))
                    names << c.section(u'|', 2, 2).toLower();
                lines << QStringLiteral("index %1 on %2(%3)").arg(f[1].toLower(), t, names.join(u','));
            }
        } else {
            const QStringList keys =
                Rows(db,
                     "SELECT k.column_name FROM information_schema.table_constraints c "
                     "JOIN information_schema.key_column_usage k "
                     "ON k.constraint_name = c.constraint_name AND k.table_schema = c.table_schema "
                     "WHERE c.table_schema = current_schema() AND c.table_name = ? "
                     "AND c.constraint_type = 'PRIMARY KEY' ORDER BY k.ordinal_position",
                     {t});
            for (const QString& column :
                 Rows(db,
                      "SELECT column_name, data_type, character_maximum_length, is_nullable, column_default, "
                      "is_identity FROM information_schema.columns WHERE table_schema = current_schema() "
                      "AND table_name = ? ORDER BY ordinal_position",
                      {t})) {
                const QStringList f = column.split(u'|');
                lines << ColumnLine(t, f[0], PgType(f[1], f[2]),
                                    f[5] == u"YES" ? u"AUTO" : (f[3] == u"NO" ? u"NOT NULL" : u""), f[4],
                                    int(keys.indexOf(f[0]) + 1));
            }
            for (const QString& index :
                 Rows(db,
                      "SELECT i.relname, a.attname FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid "
                      "JOIN pg_class r ON r.oid = x.indrelid JOIN pg_namespace n ON n.oid = r.relnamespace "
                      "CROSS JOIN LATERAL unnest(x.indkey) WITH ORDINALITY AS k(attnum, ord) "
                      "JOIN pg_attribute a ON a.attrelid = r.oid AND a.attnum = k.attnum "
                      "WHERE n.nspname = current_schema() AND r.relname = ? AND NOT x.indisprimary "
                      "ORDER BY i.relname, k.ord",
                      {t})) {
                const QString name = index.section(u'|', 0, 0);
                const QString line = QStringLiteral("index %1 on %2(").arg(name, t);
                if (!lines.isEmpty() && lines.last().startsWith(line))
                    lines.last().insert(lines.last().size() - 1, u',' + index.section(u'|', 1, 1));
                else
                    lines << line + index.section(u'|', 1, 1) + u')';
            }
        }
    }
    lines.sort();
    return lines;
}

TEST(Schema, BothFilesCreateTheSameThirteenTables)
{
    const auto sqlite = TestDatabase::Create(Database::Driver::SQLite);
    ASSERT_TRUE(sqlite);
    const QStringList described = DescribeSchema(sqlite->Db());
    EXPECT_EQ(described.filter(QRegularExpression("^table ")),
              QStringList({"table events_1", "table powermonitoring_current_condit",
                           "table powermonitoring_events", "table powermonitoring_info", "table records",
                           "table sensors_current_condition", "table sensors_events", "table sensors_info",
                           "table systems_current_condition", "table systems_faults", "table systems_info",
                           "table terminal_ping_requests", "table terminal_requests"}));
    if (!TestPgServer())
        GTEST_SKIP() << "TELVARON_TEST_PG_PORT is not set";
    const auto pg = TestDatabase::Create(Database::Driver::PostgreSQL);
    ASSERT_TRUE(pg);
    EXPECT_EQ(DescribeSchema(pg->Db()), described);
}

class SchemaTest : public BothDriversTest
{
};

TEST_P(SchemaTest, TerminalsInsertOnlyTheColumnsTheyKnow)
{
    for (const char* serial : {"S1", "S2"}) {
        ASSERT_TRUE(Db().Exec("INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, TrmReq_Requesttype, "
                              "TrmReq_Attributes) VALUES (?, ?, ?)",
                              {QString(serial), 1, "1234;5"}))
            << Db().LastError().description.toStdString();
    }
    const auto requests = Db().Select("SELECT TrmReq_ID, TrmReq_Requestreply, TrmReq_Requestcompleted "
                                      "FROM Terminal_Requests ORDER BY TrmReq_ID");
    ASSERT_TRUE(requests);
    ASSERT_EQ(requests->size(), 2);
    EXPECT_LT(requests->at(0).value("TrmReq_ID").toInt(), requests->at(1).value("TrmReq_ID").toInt());
    for (const QSqlRecord& row : *requests) {
        EXPECT_EQ(row.value("TrmReq_Requestreply").toInt(), 0);
        EXPECT_EQ(row.value("TrmReq_Requestcompleted").toInt(), 0);
    }

    ASSERT_TRUE(Db().Exec("INSERT INTO Terminal_Ping_Requests DEFAULT VALUES"));
    EXPECT_EQ(Rows(Db(), "SELECT TrmPingReq_Served FROM Terminal_Ping_Requests"), QStringList({"0"}));
}

TEST_P(SchemaTest, UnitRowsStartWithTheirLogPositionsAtZero)
{
    ASSERT_TRUE(
        Db().Exec("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, SyI_Model, "
                  "SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES (?, 1, 0, ?, ?, ?, ?, 7)",
                  {"S1", "192.168.1.20:4001-115200", "TELVARON-1", "1.02", "2.0"}))
        << Db().LastError().description.toStdString();
    ASSERT_TRUE(Db().Exec("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, "
                          "SeI_Sensortype) VALUES (?, 3, 1, 12)",
                          {"S1"}));
    EXPECT_EQ(Rows(Db(), "SELECT SyI_Online, SyI_EventsTable_Lastpagesn, SyI_EventsTable_Pagebyteswritt, "
                         "SyI_EventsTable_LastrecSN FROM Systems_Info"),
              QStringList({"0|0|0|0"}));
    EXPECT_EQ(Rows(Db(), "SELECT SeI_RecordsTable_Lastpagesn, SeI_RecordsTable_Pagebyteswrit, "
                         "SeI_RecordsTable_LastrecSN FROM Sensors_Info"),
              QStringList({"0|0|0"}));
}

TEST_P(SchemaTest, KeysRefuseASecondRowForTheSameThing)
{
    const struct
    {
        const char* sql;
        QVariantList values;
    } inserts[] = {
        {"INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES (?, ?, ?)",
         {"S1", 1, "12"}},
        {"INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, SeE_Sensornumber, SeE_Eventnumber) VALUES (?, ?, "
         "?)",
         {"S1", 3, 2}},
        {"INSERT INTO Powermonitoring_Events (PmE_SyI_Serialnumber, PmE_Eventnumber) VALUES (?, ?)",
         {"S1", 1}},
        {"INSERT INTO Systems_Current_Condition (SyCC_SyI_Serialnumber) VALUES (?)", {"S1"}},
        {"INSERT INTO Sensors_Current_Condition (SeCC_SyI_Serialnumber, SeCC_Sensornumber) VALUES (?, ?)",
         {"S1", 3}},
        {"INSERT INTO Powermonitoring_Current_Condit (PmCC_SyI_Serialnumber, PmCC_Powernumber) VALUES (?, ?)",
         {"S1", 2}},
        {"INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, PmI_Used) VALUES (?, ?, "
         "1)",
         {"S1", 1}},
    };
    for (const auto& insert : inserts) {
        EXPECT_TRUE(Db().Exec(insert.sql, insert.values)) << insert.sql;
        EXPECT_FALSE(Db().Exec(insert.sql, insert.values)) << insert.sql;
    }
}

INSTANTIATE_BOTH_DRIVERS(SchemaTest);

} // namespace
