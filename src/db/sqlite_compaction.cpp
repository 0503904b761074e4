#include "sqlite_compaction.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// VACUUM INTO fills an empty file and keeps its mode, so the copy is never readable by
// anyone but its owner while it grows.
bool CreateOwnerOnlyFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// The copy and the journal that SQLite keeps beside it after an I/O error.
void RemoveCopy(const QString& copy)
{
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
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

    // A compaction lasts as long as the file is large; a lock still gives up at busyTimeout.
    Database db(QStringLiteral("telvaron-compaction"), std::chrono::hours(1));
    if (!db.OpenSqlite(dbFile, busyTimeout))
        return false;
    // A copy left by an interrupted start would make VACUUM INTO refuse; a journal left
    // with it belongs to no database any more.
    RemoveCopy(copy);
    // VACUUM INTO reads one consistent snapshot, also while a terminal writes. The backup
    // is as readable as the database, no more.
    if (!CreateOwnerOnlyFile(copy) || !db.Exec(QStringLiteral("VACUUM INTO ?"), {copy}) ||
        ::chmod(QFile::encodeName(copy).constData(), *mode) != 0 || !ReplaceFile(copy, backup)) {
        RemoveCopy(copy);
        return false;
    }
    if (!db.Exec(QStringLiteral("VACUUM")))
        return false;
    // Moves the compacted pages out of the write-ahead log as far as the terminals' reads
    // allow, without waiting for them; the last connection to close does the rest.
    db.Exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    db.Select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}
