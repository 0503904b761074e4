#include "sqlite_compaction.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

// Replaces an existing target in one step, unlike QFile::rename.
bool ReplaceFile(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
                            error);
    return !error;
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
    if (!QFileInfo(dbFile).isFile())
        return false;
    const QString backup = QFileInfo(BackupFileName(dbFile)).absoluteFilePath();
    const QString copy = backup + QStringLiteral(".tmp");

    Database db(QStringLiteral("telvaron-compaction"));
    if (!db.openSqlite(dbFile, busyTimeout))
        return false;
    // A copy left by an interrupted start would make VACUUM INTO refuse.
    QFile::remove(copy);
    // VACUUM INTO reads one consistent snapshot, also while a terminal writes.
    if (!db.exec(QStringLiteral("VACUUM INTO ?"), {copy}) || !ReplaceFile(copy, backup)) {
        QFile::remove(copy);
        return false;
    }
    if (!db.exec(QStringLiteral("VACUUM")))
        return false;
    // Moves the compacted pages out of the write-ahead log as far as the terminals' reads
    // allow, without waiting for them; the last connection to close does the rest.
    db.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    db.select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}
