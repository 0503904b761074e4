#include "database.h"

#include "db_connection.h"
#include "db_worker.h"
#include "pg_failure.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a call leaves of the connection's state, for its caller.
struct CallOutcome
{
    DbError error;
    bool open = false;
    bool inTransaction = false;
};

} // namespace

Database::Database(QString connectionName, std::chrono::milliseconds callBound)
    : name_(std::move(connectionName)), callBound_(callBound)
{
}

Database::~Database()
{
    Close();
    StopWorker();
}

bool Database::RefusedAsNested()
{
    // The call that waits sets its own error when it ends.
    if (busy_)
        lastError_ = {0, QStringLiteral("The database is busy with another call")};
    return busy_;
}

bool Database::Call(std::function<void(DbConnection&)> work)
{
    if (RefusedAsNested())
        return false;
    if (ConnectionLost() && !lostCause_.description.isEmpty()) {
        // Calls on a lost connection report what lost it until it is made again.
        lastError_ = lostCause_;
        return false;
    }
    if (!worker_) {
        lastError_ = {0, QStringLiteral("The database is not open")};
        return false;
    }
    const Clock::time_point start = Clock::now();
    const auto outcome = std::make_shared<CallOutcome>();
    busy_ = true;
    bool done = false;
    try {
        done = worker_->Run(
            [work = std::move(work), outcome](DbConnection& connection) {
                work(connection);
                outcome->error = connection.LastError();
                outcome->open = connection.IsOpen();
                outcome->inTransaction = connection.InTransaction();
            },
            callBound_);
    } catch (...) {
        busy_ = false;
        lastError_ = {0, QStringLiteral("The database call failed")};
        throw;
    }
    busy_ = false;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (done) {
        lastError_ = outcome->error;
        open_ = outcome->open;
        inTransaction_ = outcome->inTransaction;
        if (!lastError_.description.isEmpty())
            lastErrorTook_ = took;
        if (ConnectionLost() && lostCause_.description.isEmpty())
            lostCause_ = lastError_;
        return true;
    }
    lastError_ = DescribedError(driver_,
                                QStringLiteral("No answer from the database within %1 s: timeout expired")
                                    .arg(callBound_.count() / 1000.0),
                                0);
    lastErrorTook_ = took;
    lostCause_ = lastError_;
    // The connection is given up; the next pass makes a fresh one.
    StopWorker();
    return false;
}

template <class T> std::optional<T> Database::Ask(std::function<std::optional<T>(DbConnection&)> work)
{
    const auto result = std::make_shared<std::optional<T>>();
    if (!Call([work = std::move(work), result](DbConnection& connection) { *result = work(connection); }))
        return std::nullopt;
    return std::move(*result);
}

void Database::StopWorker()
{
    if (worker_) {
        worker_->Stop(callBound_);
        worker_.reset();
    }
    open_ = false;
    inTransaction_ = false;
}

bool Database::Open(Driver driver, std::function<bool(DbConnection&)> open)
{
    if (RefusedAsNested())
        return false;
    Close();
    driver_ = driver;
    lastError_ = {};
    lostCause_ = {};
    // Each connection has a name of its own: one given up may still be in Qt's list, also one
    // of an object of the same name that is gone.
    static std::atomic<int> connections = 0;
    worker_ = DbWorker::Start(QStringLiteral("%1#%2").arg(name_).arg(++connections), driver);
    const auto opened = Ask<bool>([open = std::move(open)](DbConnection& connection) -> std::optional<bool> {
        return open(connection);
    });
    if (!opened.value_or(false)) {
        StopWorker();
        lostCause_ = lastError_;
        return false;
    }
    return true;
}

bool Database::OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout)
{
    if (!Open(Driver::SQLite, [file, busyTimeout](DbConnection& connection) {
            return connection.OpenSqlite(file, busyTimeout);
        }))
        return false;
    reopen_ = [this, file, busyTimeout] { return OpenSqlite(file, busyTimeout); };
    return true;
}

bool Database::OpenPostgres(const PgServer& server)
{
    if (!Open(Driver::PostgreSQL,
              [server](DbConnection& connection) { return connection.OpenPostgres(server); }))
        return false;
    reopen_ = [this, server] { return OpenPostgres(server); };
    return true;
}

void Database::Close()
{
    reopen_ = nullptr;
    if (!busy_)
        StopWorker();
}

bool Database::WithDriverHandle(std::function<void(const QVariant&)> use)
{
    return Call([use = std::move(use)](DbConnection& connection) { use(connection.DriverHandle()); });
}

bool Database::IsOpen() const
{
    return worker_ && open_;
}

bool Database::ConnectionLost() const
{
    return reopen_ && !IsOpen();
}

bool Database::Reconnect()
{
    // The open clears reopen_ before it sets it anew: the copy that runs must outlive that.
    const std::function<bool()> reopen = reopen_;
    if (!reopen)
        return false;
    const bool opened = reopen();
    if (!opened)
        reopen_ = reopen;
    return opened;
}

std::optional<int> Database::Exec(const QString& sql, const QVariantList& values)
{
    return Ask<int>([sql, values](DbConnection& connection) { return connection.Exec(sql, values); });
}

std::optional<QList<QSqlRecord>> Database::Select(const QString& sql, const QVariantList& values)
{
    return Ask<QList<QSqlRecord>>(
        [sql, values](DbConnection& connection) { return connection.Select(sql, values); });
}

std::optional<QList<QList<QSqlRecord>>>
Database::SelectEach(const QList<std::pair<QString, QVariantList>>& queries)
{
    return Ask<QList<QList<QSqlRecord>>>(
        [queries](DbConnection& connection) -> std::optional<QList<QList<QSqlRecord>>> {
            QList<QList<QSqlRecord>> each;
            for (const auto& [sql, values] : queries) {
                auto rows = connection.Select(sql, values);
                if (!rows)
                    return std::nullopt;
                each.append(std::move(*rows));
            }
            return each;
        });
}

bool Database::Transaction(std::function<bool(DbSession&)> work)
{
    return Ask<bool>([work = std::move(work)](DbConnection& connection) mutable -> std::optional<bool> {
               return connection.Transaction(std::move(work));
           })
        .value_or(false);
}
