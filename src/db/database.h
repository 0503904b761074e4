#pragma once

#include <QList>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DbWorker;
class QSqlError;

// The failure of a database operation, as the error explanation shows it. SQLite: the
// native error code and the driver's text. PostgreSQL: the number of the ORA code whose
// explanation fits (see PgFailureOraCode) and a description that begins "ORA-<code>: ".
// A description keeps the line breaks of the driver's message.
struct DbError
{
    long number = 0;
    QString description;
};

// Where a PostgreSQL database is, as the application settings give it.
struct PgServer
{
    QString serverIp;   // empty: the server on this PC, at the default port
    QString serverPort; // used only with an address; empty or no port number: the default port
    QString dataSource; // the database name
    QString user = QStringLiteral("telvaron");
    QString password = QStringLiteral("lumbrako4062");
    int connectTimeoutSeconds = 10;
    // A statement that waits longer than this on a lock, or runs longer, gives up with an error.
    int statementTimeoutMs = 5000;
};

// A database connection on SQLite or PostgreSQL; the program's one connection DbConn is
// an object of this class. Values are always bound to '?' placeholders, never pasted into
// the SQL text. Every call finishes its query before it returns, so no query holds a
// snapshot or a lock while events are pumped.
//
// The connection lives on a thread of its own, and no call holds its caller longer than the
// call bound, whatever the server or the network does: the window's events run while a call
// waits. A call that overstays the bound fails with a time-out (ORA-12170 on PostgreSQL) and
// the connection counts as lost: it is given up, never waited on, and Reconnect() makes a
// fresh one. A call made by an event handler while another call waits is refused at once.
class Database
{
public:
    enum class Driver { SQLite, PostgreSQL };

    static constexpr std::chrono::milliseconds kSqliteBusyTimeout{5000};
    static constexpr std::chrono::milliseconds kCallBound{10000};

    // The name must differ from that of every other Database object alive at the same time.
    explicit Database(QString connectionName = QStringLiteral("DbConn"),
                      std::chrono::milliseconds callBound = kCallBound);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing SQLite file, never creating one, in WAL mode. A statement that finds
    // the file locked by another connection waits up to busyTimeout for it.
    bool OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout = kSqliteBusyTimeout);
    bool OpenPostgres(const PgServer& server);
    // Errors of the close are ignored.
    void Close();

    bool IsOpen() const;
    // The connection was opened and has since broken (a PostgreSQL server that restarted or went
    // away); a connection closed by Close() is not lost.
    bool ConnectionLost() const;
    // Opens the lost connection again as it was first opened.
    bool Reconnect();
    // A call is waiting: one made now by an event handler would be refused.
    bool Busy() const { return busy_; }
    Driver DriverInUse() const { return driver_; }
    // Runs use on the connection's thread with the driver's own handle (sqlite3*, PGconn*), for
    // instruments that hook into the driver; their hooks run on that thread too.
    bool WithDriverHandle(const std::function<void(const QVariant&)>& use);
    // The failure of the last call that failed; empty after a call that succeeded.
    const DbError& LastError() const;

    // Runs one statement with values bound to its '?' placeholders in order. A QDateTime
    // binds as wall-clock text (see wall_clock.h). Gives the number of rows changed.
    std::optional<int> Exec(const QString& sql, const QVariantList& values = {});
    // Runs one query and gives all its rows. Read date-time columns with WallClockFromValue,
    // single-precision reals with toFloat().
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values = {});

    // Runs work in one transaction: commits when it returns true; rolls back when it returns
    // false or the commit fails, keeping the first error. A call made inside work joins
    // the transaction that runs. work runs on the connection's thread, whole: it may make
    // database calls and compute, and must touch nothing else (no widget, no unit link).
    bool Transaction(const std::function<bool()>& work);
    bool InTransaction() const { return inTransaction_; }

private:
    bool OnWorker() const;
    // A call made while another waits: refused, with an error that says so.
    bool RefusedAsNested();
    // Runs job on the connection's thread within the bound; false, with the error set, when
    // the call was refused or timed out.
    bool Call(const std::function<void()>& job);
    bool Open(Driver driver, const std::function<bool()>& open);
    void StopWorker();
    QSqlDatabase Handle() const;
    bool OpenSqliteHere(const QString& file, std::chrono::milliseconds busyTimeout);
    bool OpenPostgresHere(const PgServer& server);
    bool Run(const QString& sql, const QVariantList& values, const std::function<void(QSqlQuery&)>& use);
    // The statements that change rows, on the driver's own connection; false when the driver
    // gives no handle of its own.
    bool OpenDirectStatements();
    std::optional<int> ExecDirect(const QString& sql, const QVariantList& values);
    std::optional<int> ExecHere(const QString& sql, const QVariantList& values = {});
    std::optional<QList<QSqlRecord>> SelectHere(const QString& sql, const QVariantList& values = {});
    bool TransactionHere(const std::function<bool()>& work);
    QSqlQuery* Prepared(const QString& sql);
    void SetError(const QSqlError& error, const QString& context = {});
    // An error as the error explanation takes it: on PostgreSQL with the ORA code that fits.
    DbError Described(const QString& text, long nativeCode) const;

    QString name_;
    std::chrono::milliseconds callBound_;
    Driver driver_ = Driver::SQLite;
    // How the connection was last opened with success, for Reconnect().
    std::function<bool()> reopen_;
    std::shared_ptr<DbWorker> worker_;
    bool busy_ = false;
    // Set on the connection's thread after every job, read by handlers while a call waits.
    std::atomic<bool> open_ = false;
    // The error of the calling thread, and that of the job that runs.
    DbError lastError_;
    DbError jobError_;
    // The error that lost the connection.
    DbError lostCause_;
    std::atomic<bool> inTransaction_ = false;
};
