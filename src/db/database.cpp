#include "database.h"

#include "bindable.h"
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

} // namespace

Database::Database(QString connectionName) : name_(std::move(connectionName)) {}

Database::~Database()
{
    Release();
}

bool Database::OpenDirectStatements()
{
    if (sqliteStatements_ || pgStatements_)
        return true;
    const QVariant handle = Handle().driver()->handle();
    if (driver_ == Driver::SQLite && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        sqliteStatements_ = std::make_unique<SqliteStatements>(*static_cast<sqlite3* const*>(handle.data()));
    else if (driver_ == Driver::PostgreSQL &&
             (qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0))
        pgStatements_ = std::make_unique<PgStatements>(*static_cast<pg_conn* const*>(handle.data()));
    return sqliteStatements_ || pgStatements_;
}

QSqlDatabase Database::Handle() const
{
    return QSqlDatabase::database(name_, false);
}

void Database::Release()
{
    // Statements left unfinished would keep SQLite from closing the file.
    sqliteStatements_.reset();
    pgStatements_.reset();
    queries_.clear();
    inTransaction_ = false;
    if (QSqlDatabase::contains(name_)) {
        Handle().close();
        QSqlDatabase::removeDatabase(name_);
    }
}

bool Database::OpenSqlite(const QString& file, std::chrono::milliseconds busyTimeout)
{
    Release();
    reopen_ = nullptr;
    driver_ = Driver::SQLite;
    lastError_ = {};
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(SqliteUri(file));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout.count()));
        opened = db.open();
        if (!opened)
            SetError(db.lastError(), file);
    }
    if (opened) {
        // WAL lets the terminals read while the server writes. The first read of the file
        // happens here, so this is also where a file that is no database fails.
        const auto mode = Select(QStringLiteral("PRAGMA journal_mode=WAL"));
        opened = mode.has_value();
        if (opened &&
            (mode->isEmpty() || mode->front().value(0).toString().compare(u"wal", Qt::CaseInsensitive))) {
            opened = false;
            lastError_ = {1, QStringLiteral("WAL journal mode not available: %1").arg(file)};
        }
        // In WAL mode NORMAL still commits atomically, and a checkpoint syncs before it copies:
        // a power cut loses at most the last commits whole, rows together with their counters.
        // FULL would wait for the disk at every commit, which at a half page per log and pass
        // costs more than storing the rows.
        opened = opened && Exec(QStringLiteral("PRAGMA synchronous=NORMAL")).has_value();
    }
    if (!opened) {
        const DbError failure = lastError_;
        Release();
        lastError_ = failure;
    } else {
        reopen_ = [this, file, busyTimeout] { return OpenSqlite(file, busyTimeout); };
    }
    return opened;
}

bool Database::OpenPostgres(const PgServer& server)
{
    Release();
    reopen_ = nullptr;
    driver_ = Driver::PostgreSQL;
    lastError_ = {};
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
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
        {
            const CMessagesLocale englishMessages;
            opened = db.open();
        }
        if (!opened)
            SetError(db.lastError());
    }
    if (!opened) {
        const DbError failure = lastError_;
        Release();
        lastError_ = failure;
    } else {
        reopen_ = [this, server] { return OpenPostgres(server); };
    }
    return opened;
}

void Database::Close()
{
    reopen_ = nullptr;
    sqliteStatements_.reset();
    pgStatements_.reset();
    queries_.clear();
    inTransaction_ = false;
    if (QSqlDatabase::contains(name_))
        Handle().close();
}

bool Database::IsOpen() const
{
    return QSqlDatabase::contains(name_) && Handle().isOpen();
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
    if (driver_ == Driver::PostgreSQL) {
        const QString code = PgFailureOraCode(text);
        lastError_ = {code.toLong(), QStringLiteral("ORA-") + code + QStringLiteral(": ") + text};
    } else {
        lastError_ = {error.nativeErrorCode().toLong(), text};
    }
}

QSqlQuery* Database::Prepared(const QString& sql)
{
    const auto found = queries_.find(sql);
    if (found != queries_.end())
        return &found.value();
    if (queries_.size() >= kMaxPreparedQueries)
        queries_.clear();
    QSqlQuery query(Handle());
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        SetError(query.lastError());
        return nullptr;
    }
    return &queries_.insert(sql, std::move(query)).value();
}

bool Database::Run(const QString& sql, const QVariantList& values, const std::function<void(QSqlQuery&)>& use)
{
    lastError_ = {};
    if (!IsOpen()) {
        lastError_ = {0, QStringLiteral("The database is not open")};
        return false;
    }
    std::optional<QSqlQuery> direct;
    QSqlQuery* query = nullptr;
    bool done = false;
    if (values.isEmpty()) {
        direct.emplace(Handle());
        direct->setForwardOnly(true);
        query = &*direct;
        done = query->exec(sql);
    } else {
        query = Prepared(sql);
        if (!query)
            return false;
        for (qsizetype i = 0; i < values.size(); ++i)
            query->bindValue(int(i), Bindable(values.at(i)));
        done = query->exec();
    }
    if (done) {
        use(*query);
        // A row that fails to arrive ends the reading with an error, not with the last row.
        done = !query->lastError().isValid();
    }
    if (!done)
        SetError(query->lastError());
    query->finish();
    return done;
}

std::optional<int> Database::Exec(const QString& sql, const QVariantList& values)
{
    if (!values.isEmpty() && IsOpen() && OpenDirectStatements()) {
        lastError_ = {};
        const std::optional<int> changed =
            sqliteStatements_ ? sqliteStatements_->Exec(sql, values) : pgStatements_->Exec(sql, values);
        if (!changed)
            SetError(sqliteStatements_
                         ? QSqlError(QString(), sqliteStatements_->ErrorText(), QSqlError::StatementError,
                                     QString::number(sqliteStatements_->ErrorCode()))
                         : QSqlError(QString(), pgStatements_->ErrorText()));
        return changed;
    }
    std::optional<int> changed;
    if (!Run(sql, values, [&](QSqlQuery& query) { changed = query.numRowsAffected(); }))
        return std::nullopt;
    return changed;
}

std::optional<QList<QSqlRecord>> Database::Select(const QString& sql, const QVariantList& values)
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

bool Database::Transaction(const std::function<bool()>& work)
{
    if (inTransaction_)
        return work();
    // IMMEDIATE takes the write lock at once: a deferred transaction that reads first may
    // find its snapshot outdated by a terminal's write and fail at its first write.
    if (!Exec(driver_ == Driver::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return false;
    inTransaction_ = true;
    bool done = false;
    try {
        done = work();
    } catch (...) {
        inTransaction_ = false;
        Exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    inTransaction_ = false;
    if (done && Exec(QStringLiteral("COMMIT")))
        return true;
    const DbError failure = lastError_;
    Exec(QStringLiteral("ROLLBACK"));
    lastError_ = failure;
    return false;
}
