#include "database.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr long kSqliteCantOpen = 14;
constexpr long kSqliteNotADatabase = 26;

// A database file made the plain way, without the server's open.
void MakeDatabase(const QString& file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("CREATE TABLE Records (Rec_Value REAL)"));
        ASSERT_TRUE(query.exec("INSERT INTO Records VALUES (1.5)"));
    }
    QSqlDatabase::removeDatabase("maker");
}

TEST(SqliteOpen, WhatIsNoDatabaseFailsAndStaysAsItWasWithNothingCreated)
{
    QTemporaryDir dir;
    const QString text = dir.filePath("text.db");
    const QByteArray content =
        QByteArray("not a database, but long enough to have a header of its own\n").repeated(20);
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const struct
    {
        QString path;
        long number;
    } cases[] = {{dir.filePath("tldb.db"), kSqliteCantOpen},
                 {dir.filePath("missing/tldb.db"), kSqliteCantOpen},
                 {dir.path(), kSqliteCantOpen},
                 {text, kSqliteNotADatabase}};
    for (const auto& c : cases) {
        Database db;
        EXPECT_FALSE(db.OpenSqlite(c.path)) << c.path.toStdString();
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(db.LastError().number, c.number) << c.path.toStdString();
        if (c.number == kSqliteCantOpen) {
            EXPECT_TRUE(db.LastError().description.contains(c.path))
                << db.LastError().description.toStdString();
        }
        EXPECT_FALSE(db.LastError().description.startsWith("ORA"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"text.db"}));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), content);
}

// WAL shares the file with the terminals; NORMAL (1) keeps a commit whole through a power cut
// without waiting for the disk at every commit, where OFF (0) could corrupt the file.
TEST(SqliteOpen, OpensTheNamedFileWhateverItsCharactersInWalModeSyncedAtCheckpoints)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("a b#c?d%20e ΑΒΓ"));
    const QString path = dir.filePath("a b#c?d%20e ΑΒΓ/t;x&mode=rwc.db");
    MakeDatabase(path);
    Database db;
    ASSERT_TRUE(db.OpenSqlite(path)) << db.LastError().description.toStdString();
    const auto rows = db.Select("SELECT Rec_Value, * FROM Records, pragma_journal_mode, pragma_synchronous, "
                                "pragma_busy_timeout");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(rows->front().value(0).toDouble(), 1.5);
    EXPECT_EQ(rows->front().value(2).toString(), "wal");
    EXPECT_EQ(rows->front().value(3).toInt(), 1);
    EXPECT_EQ(rows->front().value(4).toInt(), 5000);
}

TEST(SqliteOpen, AQueryKeepsNoSnapshotOnceItReturns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("tldb.db");
    MakeDatabase(path);
    Database server("server");
    Database terminal("terminal");
    ASSERT_TRUE(server.OpenSqlite(path));
    ASSERT_TRUE(terminal.OpenSqlite(path));
    ASSERT_TRUE(terminal.Exec("INSERT INTO Records VALUES (?)", {2.5}));
    // A prepared query is kept for reuse; it must not keep its read open.
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(server.Select("SELECT Rec_Value FROM Records WHERE Rec_Value > ?", {0}));
    ASSERT_TRUE(server.Select("SELECT COUNT(*) FROM Records"));
    // Even a query run as a statement, whose rows nobody fetches.
    ASSERT_TRUE(server.Exec("SELECT Rec_Value FROM Records WHERE Rec_Value < ?", {10}));
    // A full checkpoint is possible only when no connection reads an older snapshot.
    const auto checkpoint = terminal.Select("PRAGMA wal_checkpoint(TRUNCATE)");
    ASSERT_TRUE(checkpoint);
    EXPECT_EQ(checkpoint->front().value(0).toInt(), 0) << "a reader blocked the checkpoint";
}

} // namespace
