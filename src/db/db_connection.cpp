#include "db_connection.h"

#include "bindable.h"
#include "database.h"
#include "db_worker.h"
#include "pg_failure.h"
#include "pg_statements.h"
#include "sqlite_statements.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <QUrl>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <utility>

namespace {

constexpr int kDefaultPgPort = 5432;
constexpr int kStatementOverLockMs = 1000;

// mode=rw makes a wrong path fail instead of creating an empty database there.
QString SqliteUri(const QString& file)
{
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           QStringLiteral("?mode=rw");
}

// A driver's message with each line trimmed and blank lines dropped: libpq puts its hint
// ("Is the server running ...") on a line of its own, which a message box keeps apart.
QString KeptLines(const QString& message)
{
    QStringList lines;
    for (const QString& line : message.split(QLatin1Char('\n'))) {
        const QString kept = line.simplified();
        if (!kept.isEmpty())
            lines << kept;
    }
    return lines.join(QLatin1Char('\n'));
}

int PortOrDefault(const QString& text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : kDefaultPgPort;
}

// The connection of a PostgreSQL driver, or nullptr. Qt names the handle's type after libpq's
// struct, "pg_conn*"; older builds said "PGconn*".
PGconn* PgConnection(const QVariant& handle)
{
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(handle.data());
}

sqlite3* SqliteConnection(const QVariant& handle)
{
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

} // namespace

DbConnection::DbConnection(QString name, DbDriver driver, DbCut& cut)
    : name_(std::move(name)), driver_(driver), cut_(cut)
{
}

DbConnection::~DbConnection()
{
    Close();
}

QVariant DbConnection::DriverHandle() const
{
    return db_.isValid() ? db_.driver()->handle() : QVariant();
}

bool DbConnection::OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout)
{
    error_ = {};
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(SqliteUri(file));
    db_.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout.count()));
    open_ = db_.open();
    if (!open_) {
        SetError(db_.lastError(), file);
        return false;
    }
    sqlite3* const lite = SqliteConnection(DriverHandle());
    if (!lite)
        return NoHandle();
    cut_.SetSqlite(lite);
    statements_ = std::make_unique<SqliteStatements>(lite, cut_);
    // WAL lets the terminals read while the server writes. The first read of the file
    // happens here, so this is also where a file that is no database fails.
    const auto mode = Select(QStringLiteral("PRAGMA journal_mode=WAL"));
    bool opened = mode.has_value();
    if (opened &&
        (mode->isEmpty() || mode->front().value(0).toString().compare(u"wal", Qt::CaseInsensitive))) {
        opened = false;
        error_ = {1, QStringLiteral("WAL journal mode not available: %1").arg(file)};
    }
    // In WAL mode NORMAL still commits atomically, and a checkpoint syncs before it copies:
    // a power cut loses at most the last commits whole, rows together with their counters.
    // FULL would wait for the disk at every commit, which at a half page per log and pass
    // costs more than storing the rows.
    opened = opened && Exec(QStringLiteral("PRAGMA synchronous=NORMAL")).has_value();
    open_ = opened;
    return opened;
}

bool DbConnection::OpenPostgres(const PgServer& server)
{
    error_ = {};
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    const QString ip = server.serverIp.trimmed();
    db_.setHostName(ip.isEmpty() ? QStringLiteral("localhost") : ip);
    db_.setPort(ip.isEmpty() ? kDefaultPgPort : PortOrDefault(server.serverPort));
    db_.setDatabaseName(server.dataSource);
    db_.setUserName(server.user);
    db_.setPassword(server.password);
    // No statement may wait on a terminal's lock for long, and a server that vanished
    // from the network must not hold a query for the minutes TCP would wait. A statement's own
    // time runs from before its lock wait: were it as short, a lock held would be reported as a
    // statement too slow, and the scan could not tell a locked table by its error.
    const int statementMs =
        server.statementTimeoutMs > 0 ? server.statementTimeoutMs + kStatementOverLockMs : 0;
    db_.setConnectOptions(QStringLiteral("connect_timeout=%1 options='-c lock_timeout=%2 -c "
                                         "statement_timeout=%3' keepalives_idle=5 keepalives_interval=2 "
                                         "keepalives_count=3 tcp_user_timeout=%4")
                              .arg(server.connectTimeoutSeconds)
                              .arg(server.statementTimeoutMs)
                              .arg(statementMs)
                              .arg(server.connectTimeoutSeconds * 1000));
    open_ = db_.open();
    if (!open_) {
        SetError(db_.lastError());
        return false;
    }
    PGconn* const conn = PgConnection(DriverHandle());
    if (!conn)
        return NoHandle();
    cut_.SetSocket(PQsocket(conn));
    statements_ = std::make_unique<PgStatements>(conn, cut_);
    return true;
}

bool DbConnection::NoHandle()
{
    error_ = {0, QStringLiteral("The database driver gives no connection of its own")};
    open_ = false;
    return false;
}

void DbConnection::Close()
{
    // Nothing may cut a call short on a handle that goes now.
    cut_.Clear();
    // Statements left unfinished would keep SQLite from closing the file.
    statements_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    open_ = false;
}

void DbConnection::SetError(const QSqlError& error, const QString& context)
{
    QString text = KeptLines(error.databaseText());
    if (text.isEmpty())
        text = KeptLines(error.driverText());
    if (!context.isEmpty())
        text += QStringLiteral(": ") + context;
    error_ = Described(text, error.nativeErrorCode().toLong());
}

DbError DbConnection::Described(const QString& text, long nativeCode) const
{
    return DescribedError(driver_, text, nativeCode);
}

bool DbConnection::Ready()
{
    error_ = {};
    if (!open_)
        error_ = {0, QStringLiteral("The database is not open")};
    return open_;
}

template <class T> std::optional<T> DbConnection::Direct(const std::function<std::optional<T>()>& run)
{
    std::optional<T> result;
    bool stale = false;
    if (Ready() && Begun()) {
        result = run();
        // A widened column costs a statement of its own one more run; a transaction's work runs
        // again whole (see Transaction).
        if (!result && !inWork_ && statements_->FailedOnStalePlan())
            result = run();
        if (!result) {
            error_ = Described(KeptLines(statements_->ErrorText()), statements_->ErrorCode());
            error_.state = statements_->ErrorState();
            stale = statements_->FailedOnStalePlan();
        }
        open_ = db_.isOpen();
    }
    if (!result && inWork_ && !workFailure_) {
        workFailure_ = error_;
        workMetStalePlan_ = stale;
    }
    return result;
}

std::optional<int> DbConnection::Exec(const QString& sql, const QVariantList& values)
{
    return Direct<int>([&] { return statements_->Exec(sql, values); });
}

std::optional<QList<QSqlRecord>> DbConnection::Select(const QString& sql, const QVariantList& values)
{
    return Direct<QList<QSqlRecord>>([&] { return statements_->Select(sql, values); });
}

bool DbConnection::Transaction(std::function<bool(DbSession&)> work)
{
    if (inWork_)
        return work(*this);
    // A work ended by plans that a widened column made stale left nothing behind, and the plans
    // are made afresh: it runs once more, so that the change costs its caller nothing.
    for (bool again = true;; again = false) {
        workMetStalePlan_ = false;
        const bool done = RunWork(work);
        if (done || !again || !workMetStalePlan_)
            return done;
    }
}

bool DbConnection::RunWork(const std::function<bool(DbSession&)>& work)
{
    inWork_ = true;
    bool done = false;
    try {
        done = work(*this);
    } catch (...) {
        Finish(false);
        throw;
    }
    return Finish(done);
}

bool DbConnection::Begun()
{
    if (!inWork_ || inTransaction_)
        return true;
    // IMMEDIATE takes the write lock at once: a deferred transaction that reads first may
    // find its snapshot outdated by a terminal's write and fail at its first write.
    inTransaction_ = true;
    if (Exec(driver_ == DbDriver::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return true;
    inTransaction_ = false;
    return false;
}

bool DbConnection::Finish(bool commit)
{
    inWork_ = false;
    // A work that goes on after a statement failed is not complete, whatever it says: PostgreSQL
    // would answer its COMMIT with a rollback, SQLite would store the rest.
    const std::optional<DbError> failed = std::exchange(workFailure_, std::nullopt);
    commit = commit && !failed;
    if (!std::exchange(inTransaction_, false)) {
        if (failed)
            error_ = *failed;
        return commit;
    }
    if (commit && Exec(QStringLiteral("COMMIT")))
        return true;
    const DbError failure = failed.value_or(error_);
    Exec(QStringLiteral("ROLLBACK"));
    error_ = failure;
    return false;
}
