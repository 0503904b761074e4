#include "database.h"
#include "sqlite_compaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

TEST(BackupFileName, TakesTheExtensionFromTheFileNameOnly)
{
    const struct
    {
        const char* file;
        const char* backup;
    } cases[] = {
        {"/srv/telvaron/tldb.db", "/srv/telvaron/tldb.bak"},
        {"tldb.db", "tldb.bak"},
        {"/srv/tl.v2/tldb.sqlite", "/srv/tl.v2/tldb.bak"},
        {"/srv/old.data/tldb", "/srv/old.data/tldb.bak"},
        {"tldb", "tldb.bak"},
        {"/srv/archive.tar.db", "/srv/archive.tar.bak"},
        {"/srv/tldb.", "/srv/tldb.bak"},
        {"/srv/.tldb", "/srv/.tldb.bak"},
        {"/srv/tldb.bak", "/srv/tldb.bak.bak"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BackupFileName(c.file), QString::fromUtf8(c.backup)) << c.file;
}

class CompactionTest : public ::testing::Test
{
protected:
    // A database whose deleted rows leave free pages behind.
    void MakeDatabase(const QString& file, int keep = 100, int made = 3000)
    {
        QFile(file).open(QIODevice::WriteOnly);
        Database db("maker");
        ASSERT_TRUE(db.OpenSqlite(file)) << db.LastError().description.toStdString();
        ASSERT_TRUE(db.Exec("CREATE TABLE Records (Rec_SensRecSN INTEGER, Rec_Info VARCHAR(200))"));
        ASSERT_TRUE(db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                            "INSERT INTO Records SELECT i, ? FROM n",
                            {made, QString(200, u'x')}));
        ASSERT_TRUE(db.Exec("DELETE FROM Records WHERE Rec_SensRecSN > ?", {keep}));
        ASSERT_TRUE(db.Select("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    static int Rows(const QString& file)
    {
        Database db("reader");
        if (!db.OpenSqlite(file))
            return -1;
        const auto count = db.Select("SELECT COUNT(*) FROM Records");
        const auto check = db.Select("PRAGMA integrity_check");
        if (!count || !check || check->front().value(0).toString() != "ok")
            return -1;
        return count->front().value(0).toInt();
    }
    static mode_t Mode(const QString& file)
    {
        struct stat status;
        return ::stat(QFile::encodeName(file).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
    }
    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir_;
    QString file_ = dir_.filePath("tldb.db");
    QString backup_ = dir_.filePath("tldb.bak");
};

// A file that is missing or no database gives up and leaves the older backup and nothing else.
TEST_F(CompactionTest, WhatIsNoDatabaseStaysAndSoDoesTheBackup)
{
    MakeDatabase(backup_, 7);
    const QByteArray text = QByteArray("no database here\n").repeated(100);
    for (const bool exists : {false, true}) {
        QFile file(file_);
        if (exists) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
            file.close();
        }
        EXPECT_FALSE(CompactDatabaseFile(file_)) << exists;
        EXPECT_EQ(Rows(backup_), 7);
        EXPECT_EQ(Files(), exists ? QStringList({"tldb.bak", "tldb.db"}) : QStringList({"tldb.bak"}));
        if (exists) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), text);
        }
    }
}

// The backup holds what the database holds: it is readable by whom the database is, no
// one else, whatever an older backup allowed.
TEST_F(CompactionTest, CompactsIntoABackupWithTheModeOfTheDatabase)
{
    const struct
    {
        mode_t database;
        mode_t olderBackup; // 0: none
    } cases[] = {
        {0600, 0}, {0600, 0644}, {0640, 0}, {0640, 0600}, {0644, 0600},
    };
    for (const auto& c : cases) {
        QFile::remove(file_);
        QFile::remove(backup_);
        MakeDatabase(file_);
        ASSERT_EQ(::chmod(QFile::encodeName(file_).constData(), c.database), 0);
        if (c.olderBackup != 0) {
            MakeDatabase(backup_, 7);
            ASSERT_EQ(::chmod(QFile::encodeName(backup_).constData(), c.olderBackup), 0);
        }
        const qint64 before = QFileInfo(file_).size();
        EXPECT_TRUE(CompactDatabaseFile(file_));
        EXPECT_LT(QFileInfo(file_).size(), before / 4);
        EXPECT_EQ(Mode(backup_), c.database) << std::oct << c.database << " " << c.olderBackup;
        EXPECT_EQ(Mode(file_), c.database) << std::oct << c.database << " " << c.olderBackup;
        EXPECT_EQ(Rows(file_), 100);
        EXPECT_EQ(Rows(backup_), 100);
        EXPECT_EQ(Files(), QStringList({"tldb.bak", "tldb.db"}));
    }
}

// A copy that fails half written (a full disk) leaves the database, the older backup and
// nothing else: no partial copy and no journal of it.
TEST_F(CompactionTest, AFailedCopyLeavesNoOtherFileBehind)
{
    MakeDatabase(backup_, 7);
    // Larger than SQLite's page cache, so the copy spills to its file through a journal.
    MakeDatabase(file_, 15000, 15000);
    // Writes beyond a size fail as on a full disk, for this process while it lasts.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fullDisk{1024 * 1024, previous.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &fullDisk);
    EXPECT_FALSE(CompactDatabaseFile(file_));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(Files(), QStringList({"tldb.bak", "tldb.db"}));
    EXPECT_EQ(Rows(file_), 15000);
    EXPECT_EQ(Rows(backup_), 7);
}

// A terminal that reads through the compaction keeps its file: it goes on reading, and what
// it writes afterwards reaches the server, not the backup. A terminal in the middle of a
// write makes the compaction give up after its busy timeout; its write and the data stay whole.
TEST_F(CompactionTest, ATerminalKeepsWorkingOnTheFileAndAWritingOneMakesTheCompactionGiveUp)
{
    MakeDatabase(file_);
    Database terminal("terminal");
    ASSERT_TRUE(terminal.OpenSqlite(file_));
    {
        // The terminal reads on a connection of the test's own thread, in the middle of a query.
        QSqlDatabase readingConnection = QSqlDatabase::addDatabase("QSQLITE", "terminal-reading");
        readingConnection.setDatabaseName(file_);
        ASSERT_TRUE(readingConnection.open());
        QSqlQuery reading(readingConnection);
        ASSERT_TRUE(reading.exec("SELECT Rec_SensRecSN FROM Records"));
        ASSERT_TRUE(reading.next());
        EXPECT_TRUE(CompactDatabaseFile(file_));
        int read = 1;
        while (reading.next())
            ++read;
        EXPECT_EQ(read, 100);
    }
    QSqlDatabase::removeDatabase("terminal-reading");
    ASSERT_TRUE(terminal.Exec("INSERT INTO Records VALUES (?, ?)", {5000, "after"}));
    EXPECT_EQ(Rows(file_), 101);
    EXPECT_EQ(Rows(backup_), 100);

    bool compacted = true;
    ASSERT_TRUE(terminal.Transaction([&](DbSession& s) {
        if (!s.Exec("INSERT INTO Records VALUES (?, ?)", {5001, "during"}))
            return false;
        compacted = CompactDatabaseFile(file_, std::chrono::milliseconds(200));
        return true;
    }));
    EXPECT_FALSE(compacted);
    EXPECT_EQ(Rows(file_), 102);
    EXPECT_EQ(Rows(backup_), 101);
}

// A terminal that writes all the time, in transactions of two rows that cancel out, while the
// database is backed up and compacted: the backup holds its transactions whole, none of them
// after the database's, and is readable by whom the database is; the database keeps every row.
TEST_F(CompactionTest, TheBackupIsOneSnapshotWhileATerminalWrites)
{
    MakeDatabase(file_, 100, 20000);
    ASSERT_EQ(::chmod(QFile::encodeName(file_).constData(), 0640), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> committed{0};
    std::thread terminal([&] {
        Database db("writing terminal");
        if (!db.OpenSqlite(file_))
            return;
        for (int k = 1; !stop; ++k) {
            if (db.Transaction([k](DbSession& s) {
                    return s.Exec("INSERT INTO Records VALUES (?, 'w')", {k}) &&
                           s.Exec("INSERT INTO Records VALUES (?, 'w')", {-k});
                }))
                ++committed;
        }
    });
    while (committed < 10)
        std::this_thread::yield();
    const bool compacted = CompactDatabaseFile(file_);
    stop = true;
    terminal.join();
    EXPECT_TRUE(compacted);

    Database backup("backup reader");
    ASSERT_TRUE(backup.OpenSqlite(backup_));
    const auto written = backup.Select("SELECT COUNT(*), COALESCE(SUM(Rec_SensRecSN), 0) FROM Records WHERE "
                                       "Rec_Info='w'");
    const auto check = backup.Select("PRAGMA integrity_check");
    ASSERT_TRUE(written && check);
    const int backedUp = written->front().value(0).toInt();
    EXPECT_GE(backedUp, 20);
    EXPECT_EQ(backedUp % 2, 0);
    EXPECT_EQ(written->front().value(1).toLongLong(), 0);
    EXPECT_EQ(check->front().value(0).toString(), "ok");
    backup.Close();
    EXPECT_LE(backedUp, 2 * committed);
    EXPECT_EQ(Rows(file_), 100 + 2 * committed);
    EXPECT_EQ(Mode(backup_), 0640u);
}

} // namespace
