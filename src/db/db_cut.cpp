#include "db_cut.h"

#include <sqlite3.h>

#include <sys/socket.h>

void DbCut::SetSocket(int socket)
{
    const std::lock_guard lock(mutex_);
    socket_ = socket;
}

void DbCut::SetSqlite(sqlite3* connection)
{
    const std::lock_guard lock(mutex_);
    sqlite_ = connection;
}

void DbCut::Clear()
{
    const std::lock_guard lock(mutex_);
    socket_ = -1;
    sqlite_ = nullptr;
}

void DbCut::Now()
{
    done_ = true;
    // Under the lock the handles cannot close meanwhile, nor their numbers go to another file.
    const std::lock_guard lock(mutex_);
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
    if (sqlite_)
        sqlite3_interrupt(sqlite_);
}
