#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class PgStatements;
class SqliteStatements;

// Thrown on a worker that was given up, when a call into the driver comes back: nothing of the
// caller that gave up on it may be touched any more.
struct DbWorkerAbandoned
{
};

// The thread that one database connection lives on. Qt allows a connection only on the thread
// that made it, and a driver call may hang for as long as the server or the network pleases:
// the caller waits for its job with a bound, and a worker that overstays it is left behind.
class DbWorker
{
public:
    // connectionName: the connection's name in Qt's list, used on this thread only.
    static std::shared_ptr<DbWorker> Start(QString connectionName);
    ~DbWorker();
    DbWorker(const DbWorker&) = delete;
    DbWorker& operator=(const DbWorker&) = delete;

    // The worker whose thread runs the caller, or nullptr.
    static DbWorker* Current();

    // Runs job on the thread and waits for it, letting the window's events run meanwhile on the
    // application's thread. False when it did not come back within bound: the connection's
    // socket (see SetSocket) was shut down before the end of the bound, and a job still inside
    // the driver at the end was abandoned.
    bool Run(const std::function<void()>& job, std::chrono::milliseconds bound);
    // Ends the thread once its job is done; it drops its connection first. Joins it unless
    // it was abandoned.
    void Stop();
    bool Abandoned() const;

    // On the thread: a call into the driver that may block. Throws DbWorkerAbandoned when the
    // caller gave up meanwhile.
    template <class F> auto Blocking(F&& call)
    {
        Enter();
        const auto result = call();
        Leave();
        return result;
    }

    // On the thread: the socket to shut down when a job overstays (-1: none).
    void SetSocket(int socket);
    // On the thread: closes the connection and takes it out of Qt's list.
    void DropConnection();

    const QString& ConnectionName() const { return name_; }
    // Prepared queries of the connection, kept on its thread, once per SQL text: on PostgreSQL
    // a statement prepared anew costs two more round trips every time.
    QHash<QString, QSqlQuery>& Queries() { return queries_; }
    // On the thread: drops the prepared queries, which the server may be asked to forget.
    void ClearQueries();
    // The statements that change rows, run on the driver's own connection.
    std::unique_ptr<SqliteStatements>& SqliteDirect() { return sqliteDirect_; }
    std::unique_ptr<PgStatements>& PgDirect() { return pgDirect_; }

private:
    explicit DbWorker(QString connectionName) : name_(std::move(connectionName)) {}
    void Loop();
    void Enter();
    void Leave();
    bool WaitDone(std::chrono::steady_clock::time_point until);

    const QString name_;
    QHash<QString, QSqlQuery> queries_;
    std::unique_ptr<SqliteStatements> sqliteDirect_;
    std::unique_ptr<PgStatements> pgDirect_;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool jobDone_ = true;
    bool stopping_ = false;
    bool inDriver_ = false;
    bool abandoned_ = false;
    int socket_ = -1;
    std::exception_ptr thrown_;
};
