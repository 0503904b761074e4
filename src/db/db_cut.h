#pragma once

#include <atomic>
#include <mutex>

struct sqlite3;

// Cuts a connection's call short from another thread once its caller has given up on it: a
// PostgreSQL connection's socket is shut down, so that the driver comes back from a read that a
// frozen server never answers, and an SQLite statement is interrupted, which rolls back what it
// wrote and lets go of the file's lock. The connection runs no further statement after a cut.
class DbCut
{
public:
    // On the connection's thread: what a cut acts on, while the connection is open.
    void SetSocket(int socket);
    void SetSqlite(sqlite3* connection);
    // On the connection's thread, before the handles close.
    void Clear();
    // Any thread.
    void Now();
    bool Done() const { return done_.load(std::memory_order_relaxed); }

private:
    std::mutex mutex_;
    int socket_ = -1;
    sqlite3* sqlite_ = nullptr;
    std::atomic<bool> done_ = false;
};
