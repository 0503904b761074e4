#pragma once

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QSqlError;
class PgStatements;
class SqliteStatements;

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
class Database
{
public:
    enum class Driver { SQLite, PostgreSQL };

    // The name must differ from that of every other Database object alive at the same time.
    explicit Database(QString connectionName = QStringLiteral("DbConn"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    static constexpr std::chrono::milliseconds kSqliteBusyTimeout{5000};

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
    Driver DriverInUse() const { return driver_; }
    const QString& ConnectionName() const { return name_; }
    // The failure of the last call that failed; empty after a call that succeeded.
    const DbError& LastError() const { return lastError_; }

    // Runs one statement with values bound to its '?' placeholders in order. A QDateTime
    // binds as wall-clock text (see wall_clock.h). Gives the number of rows changed.
    std::optional<int> Exec(const QString& sql, const QVariantList& values = {});
    // Runs one query and gives all its rows. Read date-time columns with WallClockFromValue,
    // single-precision reals with toFloat().
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values = {});

    // Runs work in one transaction: commits when it returns true; rolls back when it returns
    // false or the commit fails, keeping the first error. A call made inside work joins
    // the transaction that runs. Do not pump events inside work.
    bool Transaction(const std::function<bool()>& work);
    bool InTransaction() const { return inTransaction_; }

private:
    QSqlDatabase Handle() const;
    void Release();
    bool Run(const QString& sql, const QVariantList& values, const std::function<void(QSqlQuery&)>& use);
    QSqlQuery* Prepared(const QString& sql);
    bool OpenDirectStatements();
    void SetError(const QSqlError& error, const QString& context = {});

    QString name_;
    Driver driver_ = Driver::SQLite;
    // How the connection was last opened with success, for Reconnect().
    std::function<bool()> reopen_;
    DbError lastError_;
    bool inTransaction_ = false;
    // Prepared once per SQL text: on PostgreSQL a statement prepared anew costs two more
    // round trips every time.
    QHash<QString, QSqlQuery> queries_;
    // The statements that change rows, run on the driver's connection itself.
    std::unique_ptr<SqliteStatements> sqliteStatements_;
    std::unique_ptr<PgStatements> pgStatements_;
};
