#pragma once

#include "db_session.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class DbConnection;
class DbWorker;

// Where a PostgreSQL database is, as the application settings give it.
struct PgServer
{
    QString serverIp;   // empty: the server on this PC, at the default port
    QString serverPort; // used only with an address; empty or no port number: the default port
    QString dataSource; // the database name
    QString user = QStringLiteral("telvaron");
    QString password = QStringLiteral("lumbrako4062");
    int connectTimeoutSeconds = 10;
    // A statement that waits longer than this on a lock gives up with an error (SQLSTATE 55P03),
    // and one that runs a second longer with another (57014); 0: neither gives up.
    int statementTimeoutMs = 5000;
};

// A database connection on SQLite or PostgreSQL; the program's one connection DbConn is
// an object of this class. Every call finishes its query before it returns, so no query holds
// a snapshot or a lock while events are pumped.
//
// The connection lives on a thread of its own, and no call holds its caller longer than the
// call bound, whatever the server, the network or the disk does: each call is one job that owns
// copies of its SQL and values, and the window repaints and its timers tick while it waits. A
// call that overstays the bound fails with a time-out (ORA-12170 on PostgreSQL) and the
// connection counts as lost: it is cut short and given up, never waited on, and Reconnect()
// makes a fresh one. The give-up, the close of the connection included, takes at most a tenth
// of a second after the bound. A call that ends within the bound counts as done. A call made by an event
// handler while another call waits is refused at once.
class Database : public DbSession
{
public:
    using Driver = DbDriver;

    static constexpr std::chrono::milliseconds kSqliteBusyTimeout{5000};
    static constexpr std::chrono::milliseconds kCallBound{10000};

    // The name must differ from that of every other Database object alive at the same time.
    explicit Database(QString connectionName = QStringLiteral("DbConn"),
                      std::chrono::milliseconds callBound = kCallBound);
    ~Database() override;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing SQLite file, never creating one, in WAL mode. A statement that finds
    // the file locked by another connection waits up to busyTimeout for it.
    bool OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout = kSqliteBusyTimeout);
    bool OpenPostgres(const PgServer& server);
    // Errors of the close are ignored; a close that overstays the bound is given up.
    void Close();

    bool IsOpen() const;
    // The connection was opened and has since broken (a PostgreSQL server that restarted or went
    // away, a call given up at its bound); a connection closed by Close() is not lost.
    bool ConnectionLost() const;
    // Opens the lost connection again as it was first opened.
    bool Reconnect();
    // A call is waiting: one made now by an event handler would be refused.
    bool Busy() const { return busy_; }
    DbDriver DriverInUse() const override { return driver_; }
    // Runs use on the connection's thread with the driver's own handle (sqlite3*, PGconn*), for
    // instruments that hook into the driver; their hooks run on that thread too. use must be
    // quick: it is given up like any other call.
    bool WithDriverHandle(std::function<void(const QVariant&)> use);
    const DbError& LastError() const override { return lastError_; }
    // How long the last call that failed had run when it failed: its trouble began that long
    // before it was reported.
    std::chrono::milliseconds LastErrorTook() const { return lastErrorTook_; }
    // A transaction was left open on the connection by the last call.
    bool InTransaction() const { return inTransaction_; }

    std::optional<int> Exec(const QString& sql, const QVariantList& values = {}) override;
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values = {}) override;
    bool Transaction(std::function<bool(DbSession&)> work) override;
    // Runs several queries in one call, each on its own, and gives the rows of each in order;
    // nothing when one fails. A step's queries cost one hand-off to the connection's thread.
    std::optional<QList<QList<QSqlRecord>>>
    SelectEach(const QList<std::pair<QString, QVariantList>>& queries);

private:
    // A call made while another waits: refused, with an error that says so.
    bool RefusedAsNested();
    // Runs work on the connection's thread within the bound; false, with the error set, when
    // the call was refused or timed out. Otherwise the error is the connection's at its end.
    bool Call(std::function<void(DbConnection&)> work);
    // Calls work and gives its result, or nothing when the call failed or work gave nothing.
    template <class T> std::optional<T> Ask(std::function<std::optional<T>(DbConnection&)> work);
    bool Open(Driver driver, std::function<bool(DbConnection&)> open);
    void StopWorker();

    QString name_;
    std::chrono::milliseconds callBound_;
    Driver driver_ = Driver::SQLite;
    // How the connection was last opened with success, for Reconnect().
    std::function<bool()> reopen_;
    std::shared_ptr<DbWorker> worker_;
    bool busy_ = false;
    bool open_ = false;
    bool inTransaction_ = false;
    DbError lastError_;
    std::chrono::milliseconds lastErrorTook_{0};
    // The error that lost the connection.
    DbError lostCause_;
};
