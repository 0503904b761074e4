#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// The failure of a database operation, as the error explanation shows it. SQLite: the
// native error code and the driver's text. PostgreSQL: the number of the ORA code whose
// explanation fits (see PgFailureOraCode) and a description that begins "ORA-<code>: ".
// A description keeps the line breaks of the driver's message.
struct DbError
{
    DbError() = default;
    DbError(long number, QString description, QByteArray state = {})
        : number(number), description(std::move(description)), state(std::move(state))
    {
    }

    long number = 0;
    QString description;
    // PostgreSQL: the SQLSTATE of a statement the server refused; empty otherwise.
    QByteArray state;
};

enum class DbDriver { SQLite, PostgreSQL };

// What a database call can do: on the program's side of the connection (Database), where every
// call is handed to the connection's thread and waited for within a bound, and inside a
// transaction, on that thread, where every call runs at once. Values are always bound to '?'
// placeholders, never pasted into the SQL text, and every call finishes its query before it
// returns.
class DbSession
{
public:
    virtual ~DbSession() = default;

    // Runs one statement with values bound to its '?' placeholders in order. A QDateTime
    // binds as wall-clock text (see wall_clock.h). Gives the number of rows changed.
    virtual std::optional<int> Exec(const QString& sql, const QVariantList& values = {}) = 0;
    // Runs one query and gives all its rows. Read date-time columns with WallClockFromValue,
    // single-precision reals with toFloat().
    virtual std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values = {}) = 0;
    // Runs work in one transaction: commits when it returns true and none of its statements
    // failed; otherwise rolls back, storing nothing, and fails with the first error. The transaction begins
    // at work's first statement, so a work that runs none takes no lock; one begun inside work joins it. work
    // runs on the connection's thread with the session there, and may outlive the call that made it when that
    // call is given up at its bound: it owns what it reads (capture by value) and touches nothing else (no
    // widget, no unit link). A work that a widened column ended is run once more, from its start.
    virtual bool Transaction(std::function<bool(DbSession&)> work) = 0;
    // The failure of the last call that failed; empty after a call that succeeded.
    virtual const DbError& LastError() const = 0;
    virtual DbDriver DriverInUse() const = 0;
};
