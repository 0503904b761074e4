#include "sqlite_compaction.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kCompactionCacheKiB = 256 * 1024;

// Replaces an existing target in one step, unlike QFile::rename.
bool ReplaceFile(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
                            error);
    return !error;
}

// The permission bits of a regular file; nothing when there is none at that path.
std::optional<mode_t> RegularFileMode(const QString& path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return status.st_mode & 07777;
}

// The copy is made in an empty file of the owner's alone, so no one else can read it
// while it grows.
bool CreateOwnerOnlyFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool SyncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The copy and the journal that SQLite keeps beside it after an I/O error.
void RemoveCopy(const QString& copy)
{
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
}

// Copies the pages of the database as one snapshot into the empty file copy, page by page with
// nothing rebuilt. The snapshot is read in one step, so a terminal that writes meanwhile neither
// restarts the copy nor waits for it.
bool CopyPages(const QString& dbFile, const QString& copy, std::chrono::milliseconds busyTimeout)
{
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    const auto open = [](const QString& path, int flags, sqlite3** db) {
        return sqlite3_open_v2(QFile::encodeName(path).constData(), db, flags, nullptr) == SQLITE_OK;
    };
    bool copied = open(dbFile, SQLITE_OPEN_READWRITE, &source) && open(copy, SQLITE_OPEN_READWRITE, &target);
    if (copied) {
        sqlite3_busy_timeout(source, int(busyTimeout.count()));
        // A copy that fails is deleted whole, so it needs no journal of its own; it is synced
        // once complete, before it replaces the older backup.
        copied = sqlite3_exec(target, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                              nullptr) == SQLITE_OK;
    }
    if (copied) {
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
        copied = backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE;
        copied = sqlite3_backup_finish(backup) == SQLITE_OK && copied;
    }
    sqlite3_close(target);
    sqlite3_close(source);
    return copied && SyncFile(copy);
}

} // namespace

QString BackupFileName(const QString& dbFile)
{
    const qsizetype nameStart = dbFile.lastIndexOf(u'/') + 1;
    const qsizetype dot = dbFile.lastIndexOf(u'.');
    const bool hasExtension = dot > nameStart;
    if (!hasExtension || dbFile.mid(dot + 1) == QLatin1String("bak"))
        return dbFile + QStringLiteral(".bak");
    return dbFile.left(dot + 1) + QStringLiteral("bak");
}

bool CompactDatabaseFile(const QString& dbFile, std::chrono::milliseconds busyTimeout)
{
    const auto mode = RegularFileMode(dbFile);
    if (!mode)
        return false;
    const QString backup = QFileInfo(BackupFileName(dbFile)).absoluteFilePath();
    const QString copy = backup + QStringLiteral(".tmp");

    // A copy left by an interrupted start is no backup; a journal left with it belongs to no
    // database any more.
    RemoveCopy(copy);
    // The backup is as readable as the database, no more.
    if (!CreateOwnerOnlyFile(copy) || !CopyPages(dbFile, copy, busyTimeout) ||
        ::chmod(QFile::encodeName(copy).constData(), *mode) != 0 || !ReplaceFile(copy, backup)) {
        RemoveCopy(copy);
        return false;
    }
    // A compaction lasts as long as the file is large; a lock still gives up at busyTimeout.
    Database db(QStringLiteral("telvaron-compaction"), std::chrono::hours(1));
    if (!db.OpenSqlite(dbFile, busyTimeout))
        return false;
    // VACUUM builds the new file in a temporary database that takes its page cache from this
    // connection: with SQLite's default of 2 MB it spills to disk all the time; with more, a
    // file of a few hundred MB is rebuilt in memory and takes no disk of its own.
    db.Exec(QStringLiteral("PRAGMA cache_size=%1").arg(-kCompactionCacheKiB));
    if (!db.Exec(QStringLiteral("VACUUM")))
        return false;
    // Moves the compacted pages out of the write-ahead log as far as the terminals' reads
    // allow, without waiting for them; the last connection to close does the rest.
    db.Exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    db.Select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}
