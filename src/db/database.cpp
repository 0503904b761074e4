#include "database.h"

#include "bindable.h"
#include "db_worker.h"
#include "pg_failure.h"
#include "pg_statements.h"
#include "sqlite_statements.h"
#include "wall_clock.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <QUrl>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <clocale>
#include <string>

namespace {

constexpr int kDefaultPgPort = 5432;
constexpr qsizetype kMaxPreparedQueries = 64;

// libpq translates its messages by LC_MESSAGES, but they are classified in English.
class CMessagesLocale
{
public:
    CMessagesLocale() : saved_(std::setlocale(LC_MESSAGES, nullptr)) { std::setlocale(LC_MESSAGES, "C"); }
    ~CMessagesLocale() { std::setlocale(LC_MESSAGES, saved_.c_str()); }
    CMessagesLocale(const CMessagesLocale&) = delete;
    CMessagesLocale& operator=(const CMessagesLocale&) = delete;

private:
    std::string saved_;
};

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
PGconn* PgConnection(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(handle.data());
}

// The socket of an open PostgreSQL connection, or -1.
int PgSocket(const QSqlDatabase& db)
{
    PGconn* const conn = PgConnection(db);
    return conn ? PQsocket(conn) : -1;
}

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

bool Database::OnWorker() const
{
    return worker_ && DbWorker::Current() == worker_.get();
}

const DbError& Database::LastError() const
{
    return OnWorker() ? jobError_ : lastError_;
}

QSqlDatabase Database::Handle() const
{
    return QSqlDatabase::database(worker_->ConnectionName(), false);
}

bool Database::RefusedAsNested()
{
    // The call that waits sets its own error when it ends.
    if (busy_)
        lastError_ = {0, QStringLiteral("The database is busy with another call")};
    return busy_;
}

bool Database::Call(const std::function<void()>& job)
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
    busy_ = true;
    bool done = false;
    try {
        done = worker_->Run(job, callBound_);
    } catch (...) {
        busy_ = false;
        lastError_ = jobError_;
        throw;
    }
    busy_ = false;
    if (done) {
        lastError_ = jobError_;
        if (ConnectionLost() && lostCause_.description.isEmpty())
            lostCause_ = lastError_;
        return true;
    }
    lastError_ = Described(QStringLiteral("No answer from the database within %1 s: timeout expired")
                               .arg(callBound_.count() / 1000.0),
                           0);
    lostCause_ = lastError_;
    // The connection is given up; the next pass makes a fresh one.
    StopWorker();
    return false;
}

void Database::StopWorker()
{
    if (worker_) {
        worker_->Stop();
        worker_.reset();
    }
    open_ = false;
    inTransaction_ = false;
}

bool Database::Open(Driver driver, const std::function<bool()>& open)
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
    worker_ = DbWorker::Start(QStringLiteral("%1#%2").arg(name_).arg(++connections));
    bool opened = false;
    if (!Call([&] { opened = open(); }) || !opened) {
        StopWorker();
        lostCause_ = lastError_;
        return false;
    }
    return true;
}

bool Database::OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout)
{
    if (!Open(Driver::SQLite, [&] { return OpenSqliteHere(file, busyTimeout); }))
        return false;
    reopen_ = [this, file, busyTimeout] { return OpenSqlite(file, busyTimeout); };
    return true;
}

bool Database::OpenPostgres(const PgServer& server)
{
    if (!Open(Driver::PostgreSQL, [&] { return OpenPostgresHere(server); }))
        return false;
    reopen_ = [this, server] { return OpenPostgres(server); };
    return true;
}

bool Database::OpenSqliteHere(const QString& file, std::chrono::milliseconds busyTimeout)
{
    jobError_ = {};
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), worker_->ConnectionName());
        db.setDatabaseName(SqliteUri(file));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout.count()));
        opened = worker_->Blocking([&] { return db.open(); });
        if (!opened)
            SetError(db.lastError(), file);
        open_ = opened;
    }
    if (opened) {
        // WAL lets the terminals read while the server writes. The first read of the file
        // happens here, so this is also where a file that is no database fails.
        const auto mode = SelectHere(QStringLiteral("PRAGMA journal_mode=WAL"));
        opened = mode.has_value();
        if (opened &&
            (mode->isEmpty() || mode->front().value(0).toString().compare(u"wal", Qt::CaseInsensitive))) {
            opened = false;
            jobError_ = {1, QStringLiteral("WAL journal mode not available: %1").arg(file)};
        }
        // In WAL mode NORMAL still commits atomically, and a checkpoint syncs before it copies:
        // a power cut loses at most the last commits whole, rows together with their counters.
        // FULL would wait for the disk at every commit, which at a half page per log and pass
        // costs more than storing the rows.
        opened = opened && ExecHere(QStringLiteral("PRAGMA synchronous=NORMAL")).has_value();
    }
    open_ = opened;
    return opened;
}

bool Database::OpenPostgresHere(const PgServer& server)
{
    jobError_ = {};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), worker_->ConnectionName());
    const QString ip = server.serverIp.trimmed();
    db.setHostName(ip.isEmpty() ? QStringLiteral("localhost") : ip);
    db.setPort(ip.isEmpty() ? kDefaultPgPort : PortOrDefault(server.serverPort));
    db.setDatabaseName(server.dataSource);
    db.setUserName(server.user);
    db.setPassword(server.password);
    // No statement may wait on a terminal's lock for long, and a server that vanished
    // from the network must not hold a query for the minutes TCP would wait.
    db.setConnectOptions(QStringLiteral("connect_timeout=%1 options='-c lock_timeout=%2 -c "
                                        "statement_timeout=%2' keepalives_idle=5 keepalives_interval=2 "
                                        "keepalives_count=3 tcp_user_timeout=%3")
                             .arg(server.connectTimeoutSeconds)
                             .arg(server.statementTimeoutMs)
                             .arg(server.connectTimeoutSeconds * 1000));
    bool opened = false;
    {
        const CMessagesLocale englishMessages;
        opened = worker_->Blocking([&] { return db.open(); });
    }
    if (opened)
        worker_->SetSocket(PgSocket(db));
    else
        SetError(db.lastError());
    open_ = opened;
    return opened;
}

void Database::Close()
{
    reopen_ = nullptr;
    if (busy_ || !worker_)
        return;
    // A connection that does not close within the bound is given up like any other call.
    if (Call([this] { worker_->DropConnection(); }))
        StopWorker();
}

bool Database::WithDriverHandle(const std::function<void(const QVariant&)>& use)
{
    return Call([&] { use(Handle().driver()->handle()); });
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

void Database::SetError(const QSqlError& error, const QString& context)
{
    QString text = KeptLines(error.databaseText());
    if (text.isEmpty())
        text = KeptLines(error.driverText());
    if (!context.isEmpty())
        text += QStringLiteral(": ") + context;
    jobError_ = Described(text, error.nativeErrorCode().toLong());
}

DbError Database::Described(const QString& text, long nativeCode) const
{
    if (driver_ != Driver::PostgreSQL)
        return {nativeCode, text};
    const QString code = PgFailureOraCode(text);
    return {code.toLong(), QStringLiteral("ORA-") + code + QStringLiteral(": ") + text};
}

QSqlQuery* Database::Prepared(const QString& sql)
{
    QHash<QString, QSqlQuery>& queries = worker_->Queries();
    const auto found = queries.find(sql);
    if (found != queries.end())
        return &found.value();
    if (queries.size() >= kMaxPreparedQueries)
        worker_->ClearQueries();
    QSqlQuery query(Handle());
    query.setForwardOnly(true);
    if (!worker_->Blocking([&] { return query.prepare(sql); })) {
        SetError(query.lastError());
        return nullptr;
    }
    return &queries.insert(sql, std::move(query)).value();
}

// Every call into the driver is Blocking: once it comes back to a caller that gave up, the
// values and the SQL, which may be the caller's, are not read again.
bool Database::Run(const QString& sql, const QVariantList& values, const std::function<void(QSqlQuery&)>& use)
{
    jobError_ = {};
    if (!open_) {
        jobError_ = {0, QStringLiteral("The database is not open")};
        return false;
    }
    std::optional<QSqlQuery> direct;
    QSqlQuery* query = nullptr;
    bool done = false;
    if (values.isEmpty()) {
        direct.emplace(Handle());
        direct->setForwardOnly(true);
        query = &*direct;
        done = worker_->Blocking([&] { return query->exec(sql); });
    } else {
        query = Prepared(sql);
        if (!query)
            return false;
        for (qsizetype i = 0; i < values.size(); ++i)
            query->bindValue(int(i), Bindable(values.at(i)));
        done = worker_->Blocking([&] { return query->exec(); });
    }
    if (done) {
        worker_->Blocking([&] {
            use(*query);
            return true;
        });
        // A row that fails to arrive ends the reading with an error, not with the last row.
        done = !query->lastError().isValid();
    }
    if (!done)
        SetError(query->lastError());
    // Ending a query reads what is left of its answer: also where a broken connection shows.
    worker_->Blocking([&] {
        query->finish();
        direct.reset();
        return true;
    });
    open_ = Handle().isOpen();
    return done;
}

bool Database::OpenDirectStatements()
{
    std::unique_ptr<SqliteStatements>& lite = worker_->SqliteDirect();
    std::unique_ptr<PgStatements>& pg = worker_->PgDirect();
    if (lite || pg)
        return true;
    if (driver_ == Driver::PostgreSQL) {
        if (PGconn* const conn = PgConnection(Handle()))
            pg = std::make_unique<PgStatements>(conn);
        return pg != nullptr;
    }
    const QVariant handle = Handle().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        lite = std::make_unique<SqliteStatements>(*static_cast<sqlite3* const*>(handle.data()));
    return lite != nullptr;
}

std::optional<int> Database::ExecDirect(const QString& sql, const QVariantList& values)
{
    jobError_ = {};
    SqliteStatements* const lite = worker_->SqliteDirect().get();
    PgStatements* const pg = worker_->PgDirect().get();
    const std::optional<int> changed =
        worker_->Blocking([&] { return lite ? lite->Exec(sql, values) : pg->Exec(sql, values); });
    if (!changed)
        SetError(lite ? QSqlError(QString(), lite->ErrorText(), QSqlError::StatementError,
                                  QString::number(lite->ErrorCode()))
                      : QSqlError(QString(), pg->ErrorText()));
    open_ = Handle().isOpen();
    return changed;
}

std::optional<int> Database::ExecHere(const QString& sql, const QVariantList& values)
{
    // Statements with values go past the Qt driver, which would bind each value through text.
    if (!values.isEmpty() && open_ && OpenDirectStatements())
        return ExecDirect(sql, values);
    std::optional<int> changed;
    if (!Run(sql, values, [&](QSqlQuery& query) { changed = query.numRowsAffected(); }))
        return std::nullopt;
    return changed;
}

std::optional<QList<QSqlRecord>> Database::SelectHere(const QString& sql, const QVariantList& values)
{
    QList<QSqlRecord> rows;
    const bool done = Run(sql, values, [&](QSqlQuery& query) {
        while (query.next())
            rows.append(query.record());
    });
    if (!done)
        return std::nullopt;
    return rows;
}

std::optional<int> Database::Exec(const QString& sql, const QVariantList& values)
{
    if (OnWorker())
        return ExecHere(sql, values);
    std::optional<int> changed;
    if (!Call([&] { changed = ExecHere(sql, values); }))
        return std::nullopt;
    return changed;
}

std::optional<QList<QSqlRecord>> Database::Select(const QString& sql, const QVariantList& values)
{
    if (OnWorker())
        return SelectHere(sql, values);
    std::optional<QList<QSqlRecord>> rows;
    if (!Call([&] { rows = SelectHere(sql, values); }))
        return std::nullopt;
    return rows;
}

bool Database::Transaction(const std::function<bool()>& work)
{
    if (OnWorker())
        return TransactionHere(work);
    bool done = false;
    return Call([&] { done = TransactionHere(work); }) && done;
}

bool Database::TransactionHere(const std::function<bool()>& work)
{
    if (inTransaction_)
        return work();
    // IMMEDIATE takes the write lock at once: a deferred transaction that reads first may
    // find its snapshot outdated by a terminal's write and fail at its first write.
    if (!ExecHere(driver_ == Driver::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return false;
    inTransaction_ = true;
    bool done = false;
    try {
        done = work();
    } catch (const DbWorkerAbandoned&) {
        throw;
    } catch (...) {
        inTransaction_ = false;
        ExecHere(QStringLiteral("ROLLBACK"));
        throw;
    }
    inTransaction_ = false;
    if (done && ExecHere(QStringLiteral("COMMIT")))
        return true;
    const DbError failure = jobError_;
    ExecHere(QStringLiteral("ROLLBACK"));
    jobError_ = failure;
    return false;
}
