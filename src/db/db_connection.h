#pragma once

#include "db_session.h"

#include <QSqlDatabase>

#include <chrono>
#include <memory>

class DbCut;
class DbStatements;
class QSqlError;
struct PgServer;

// The one connection of a DbWorker, on its thread: every call runs at once, in the thread's own
// time. Errors are kept per call, as the session gives them.
class DbConnection : public DbSession
{
public:
    // name: the connection's name in Qt's list; cut: where the connection leaves what another
    // thread needs to cut a call short.
    DbConnection(QString name, DbDriver driver, DbCut& cut);
    ~DbConnection() override;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    bool OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout);
    bool OpenPostgres(const PgServer& server);
    // Closes the connection and takes it out of Qt's list; errors of the close are ignored.
    void Close();
    bool IsOpen() const { return open_; }
    bool InTransaction() const { return inTransaction_; }
    // The driver's own handle (sqlite3*, PGconn*), for instruments that hook into the driver.
    QVariant DriverHandle() const;

    std::optional<int> Exec(const QString& sql, const QVariantList& values = {}) override;
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values = {}) override;
    bool Transaction(std::function<bool(DbSession&)> work) override;
    const DbError& LastError() const override { return error_; }
    DbDriver DriverInUse() const override { return driver_; }

private:
    // Fails an open whose driver gives no connection handle to run statements on.
    bool NoHandle();
    // Clears the error; false, with the error set, when no statement may run.
    bool Ready();
    // Begins the transaction that a work runs in, at its first statement: a work that stores
    // nothing costs no round trip and takes no lock.
    bool Begun();
    // Runs a transaction's outermost work.
    bool RunWork(const std::function<bool(DbSession&)>& work);
    // Ends the work's transaction, if it began one: commits a work that completed with no
    // statement failed, or rolls back keeping the first error.
    bool Finish(bool commit);
    // Runs a statement, keeping its error.
    template <class T> std::optional<T> Direct(const std::function<std::optional<T>()>& run);
    void SetError(const QSqlError& error, const QString& context = {});
    // An error as the error explanation takes it: on PostgreSQL with the ORA code that fits.
    DbError Described(const QString& text, long nativeCode) const;

    const QString name_;
    const DbDriver driver_;
    DbCut& cut_;
    QSqlDatabase db_;
    bool open_ = false;
    // A transaction's work runs, and its transaction has begun.
    bool inWork_ = false;
    bool inTransaction_ = false;
    // The first failure of a statement in the work that runs.
    std::optional<DbError> workFailure_;
    // That failure was a plan made stale by a changed column.
    bool workMetStalePlan_ = false;
    DbError error_;
    // Every statement runs on the driver's own connection; the Qt driver only opens and closes it.
    std::unique_ptr<DbStatements> statements_;
};
