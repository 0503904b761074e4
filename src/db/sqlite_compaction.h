#pragma once

#include "database.h"

#include <QString>

#include <chrono>

// The backup name of a database file: the text up to and including the last '.' of the
// file name, followed by "bak". A '.' in a folder name does not count: a file name without
// one, or one that is its first character, gets ".bak" appended, and so does a name that
// already ends in ".bak", so that the backup is never the database itself.
QString BackupFileName(const QString& dbFile);

// Backs up and compacts an existing SQLite database file before it is opened. The file's
// pages are copied as one snapshot, through SQLite's online backup, to a temporary file beside
// it, page by page with nothing rebuilt, also while a terminal writes; only a complete copy
// replaces the old backup, and the backup gets the database file's own mode. The file is then
// compacted in place with VACUUM, which SQLite builds in a temporary database and copies back
// in one transaction: the one rewrite of the start. Nothing is swapped on disk, so a terminal
// that has the database open goes on working on the same file and never loses a write to the
// backup. Gives whether the file was compacted. A missing file, a file that is no database
// and a failed copy leave the file and the old backup as they were, and no other file behind;
// a terminal that holds a write longer than busyTimeout makes the compaction give up.
bool CompactDatabaseFile(const QString& dbFile,
                         std::chrono::milliseconds busyTimeout = Database::kSqliteBusyTimeout);
