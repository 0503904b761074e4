#include "test_databases.h"

#include <QSqlRecord>

#include <gtest/gtest.h>

namespace {

QStringList Rows(Database& db, const QString& sql)
{
    QStringList lines;
    const auto rows = db.Select(sql);
    EXPECT_TRUE(rows) << db.LastError().description.toStdString();
    for (const QSqlRecord& row : rows.value_or(QList<QSqlRecord>())) {
        QStringList fields;
        for (int i = 0; i < row.count(); ++i)
            fields << row.value(i).toString();
        lines << fields.join(u'|');
    }
    return lines;
}

// One line per table, column and index, in a form that both drivers give alike: lower-case
// names, declared type, NOT NULL, default, place in the primary key, and AUTO for a row id.
const char* const kSqliteCatalog[] = {
    "SELECT 'table ' || lower(name) FROM sqlite_master WHERE type = 'table'",
    "SELECT lower(m.name) || '.' || lower(c.name) || ' ' || c.type || CASE WHEN c.type = 'INTEGER' AND c.pk "
    "= 1 "
    "AND (SELECT COUNT(*) FROM pragma_table_info(m.name) WHERE pk > 0) = 1 THEN ' AUTO' WHEN c.\"notnull\" "
    "THEN "
    "' NOT NULL' ELSE '' END || COALESCE(' DEFAULT ' || c.dflt_value, '') || CASE WHEN c.pk > 0 THEN ' KEY ' "
    "|| c.pk ELSE '' END FROM sqlite_master m JOIN pragma_table_info(m.name) c WHERE m.type = 'table'",
    "SELECT 'index ' || lower(x.name) || ' on ' || lower(m.name) || '(' || group_concat(lower(i.name), ',') "
    "|| "
    "')' FROM sqlite_master m JOIN pragma_index_list(m.name) x JOIN pragma_index_info(x.name) i "
    "WHERE m.type = 'table' AND x.origin = 'c' GROUP BY x.name",
};
const char* const kPgCatalog[] = {
    "SELECT 'table ' || table_name FROM information_schema.tables WHERE table_schema = current_schema()",
    "SELECT c.table_name || '.' || c.column_name || ' ' || CASE c.data_type WHEN 'character varying' THEN "
    "'VARCHAR(' || c.character_maximum_length || ')' WHEN 'timestamp without time zone' THEN 'TIMESTAMP' "
    "ELSE upper(c.data_type) END || CASE WHEN c.is_identity = 'YES' THEN ' AUTO' WHEN c.is_nullable = 'NO' "
    "THEN ' NOT NULL' ELSE '' END || COALESCE(' DEFAULT ' || c.column_default, '') || COALESCE(' KEY ' || "
    "k.ordinal_position, '') FROM information_schema.columns c LEFT JOIN "
    "information_schema.table_constraints "
    "t ON t.table_schema = c.table_schema AND t.table_name = c.table_name AND t.constraint_type = 'PRIMARY "
    "KEY' LEFT JOIN information_schema.key_column_usage k ON k.constraint_name = t.constraint_name AND "
    "k.table_schema = t.table_schema AND k.column_name = c.column_name WHERE c.table_schema = "
    "current_schema()",
    "SELECT 'index ' || i.relname || ' on ' || r.relname || '(' || string_agg(a.attname, ',' ORDER BY k.ord) "
    "|| ')' FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class r ON r.oid = x.indrelid "
    "JOIN pg_namespace n ON n.oid = r.relnamespace CROSS JOIN LATERAL unnest(x.indkey) WITH ORDINALITY AS "
    "k(attnum, ord) JOIN pg_attribute a ON a.attrelid = r.oid AND a.attnum = k.attnum WHERE n.nspname = "
    "current_schema() AND NOT x.indisprimary GROUP BY i.relname, r.relname",
};

QStringList DescribeSchema(Database& db)
{
    QStringList lines;
    for (const char* sql : db.DriverInUse() == Database::Driver::SQLite ? kSqliteCatalog : kPgCatalog)
        lines << Rows(db, QString::fromLatin1(sql));
    lines.sort();
    return lines;
}

TEST(Schema, BothFilesCreateTheSameTablesColumnsKeysAndIndexes)
{
    const auto sqlite = TestDatabase::Create(Database::Driver::SQLite);
    ASSERT_TRUE(sqlite);
    const QStringList described = DescribeSchema(sqlite->Db());
    EXPECT_EQ(described.filter(QStringLiteral("table ")).size(), 13);
    if (!TestPgServer())
        GTEST_SKIP() << "TELVARON_TEST_PG_PORT is not set";
    const auto pg = TestDatabase::Create(Database::Driver::PostgreSQL);
    ASSERT_TRUE(pg);
    EXPECT_EQ(DescribeSchema(pg->Db()), described);
}

class SchemaTest : public BothDriversTest
{
};

// Terminals insert only the columns they know; the server counts on the rest starting at zero.
TEST_P(SchemaTest, NewRowsStartAtZeroAndRequestsInTheirOrder)
{
    const struct
    {
        const char* insert;
        const char* select;
        QStringList expected;
    } cases[] = {
        {"INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, TrmReq_Requesttype, TrmReq_Attributes) "
         "VALUES ('S1', 1, '1234;5'), ('S2', 1, '1234;5')",
         "SELECT TrmReq_SyI_Serialnumber, TrmReq_Requestreply, TrmReq_Requestcompleted FROM "
         "Terminal_Requests "
         "ORDER BY TrmReq_ID",
         {"S1|0|0", "S2|0|0"}},
        {"INSERT INTO Terminal_Ping_Requests DEFAULT VALUES",
         "SELECT TrmPingReq_Served FROM Terminal_Ping_Requests",
         {"0"}},
        {"INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, SyI_Model, "
         "SyI_Softver, "
         "SyI_Hardver, SyI_Locationnumber) VALUES ('S1', 1, 0, '192.168.1.20:4001-115200', 'TELVARON-1', "
         "'1.02', '2.0', 7)",
         "SELECT SyI_Online, SyI_EventsTable_Lastpagesn, SyI_EventsTable_Pagebyteswritt, "
         "SyI_EventsTable_LastrecSN FROM Systems_Info",
         {"0|0|0|0"}},
        {"INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, SeI_Sensornumber, SeI_Used, SeI_Sensortype) VALUES "
         "('S1', 3, 1, 12)",
         "SELECT SeI_RecordsTable_Lastpagesn, SeI_RecordsTable_Pagebyteswrit, SeI_RecordsTable_LastrecSN "
         "FROM "
         "Sensors_Info",
         {"0|0|0"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Db().Exec(QString::fromLatin1(c.insert))) << Db().LastError().description.toStdString();
        EXPECT_EQ(Rows(Db(), QString::fromLatin1(c.select)), c.expected) << c.select;
    }
}

TEST_P(SchemaTest, KeysRefuseASecondRowForTheSameThing)
{
    const char* const inserts[] = {
        "INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES ('S1', 1, "
        "'12')",
        "INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, SeE_Sensornumber, SeE_Eventnumber) VALUES ('S1', "
        "3, 2)",
        "INSERT INTO Powermonitoring_Events (PmE_SyI_Serialnumber, PmE_Eventnumber) VALUES ('S1', 1)",
        "INSERT INTO Systems_Current_Condition (SyCC_SyI_Serialnumber) VALUES ('S1')",
        "INSERT INTO Sensors_Current_Condition (SeCC_SyI_Serialnumber, SeCC_Sensornumber) VALUES ('S1', 3)",
        "INSERT INTO Powermonitoring_Current_Condit (PmCC_SyI_Serialnumber, PmCC_Powernumber) VALUES ('S1', "
        "2)",
        "INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, PmI_Powernumber, PmI_Used) VALUES ('S1', 1, "
        "1)",
    };
    for (const char* sql : inserts) {
        EXPECT_TRUE(Db().Exec(QString::fromLatin1(sql))) << sql;
        EXPECT_FALSE(Db().Exec(QString::fromLatin1(sql))) << sql;
    }
}

INSTANTIATE_BOTH_DRIVERS(SchemaTest);

} // namespace
