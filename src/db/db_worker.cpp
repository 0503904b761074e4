#include "db_worker.h"

#include "pg_statements.h"
#include "sqlite_statements.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QThread>

#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A fast statement comes back within this without the cost of pumping events.
constexpr milliseconds kQuietWait{2};
// How long the window may go without its events while a job runs.
constexpr milliseconds kPumpSlice{20};
// Left at the end of the bound for the driver to come back from a shut-down socket.
constexpr milliseconds kGrace{500};

thread_local DbWorker* tCurrent = nullptr;

} // namespace

std::shared_ptr<DbWorker> DbWorker::Start(QString connectionName)
{
    std::shared_ptr<DbWorker> worker(new DbWorker(std::move(connectionName)));
    // The thread keeps its worker alive also when the caller has given up on it.
    worker->thread_ = std::thread([self = worker] { self->Loop(); });
    return worker;
}

DbWorker::~DbWorker()
{
    // Only the thread itself may still hold a worker whose thread runs.
    if (thread_.joinable())
        thread_.detach();
}

DbWorker* DbWorker::Current()
{
    return tCurrent;
}

void DbWorker::Loop()
{
    tCurrent = this;
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || job_; });
            if (!job_)
                break;
            job = std::move(job_);
            job_ = nullptr;
        }
        std::exception_ptr thrown;
        try {
            job();
        } catch (const DbWorkerAbandoned&) {
        } catch (...) {
            thrown = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            thrown_ = thrown;
            jobDone_ = true;
        }
        changed_.notify_all();
    }
    DropConnection();
    tCurrent = nullptr;
}

void DbWorker::DropConnection()
{
    // Prepared statements are deallocated on the server: a call that may block, unless the
    // caller has given up on the thread already.
    if (Abandoned())
        queries_.clear();
    else
        ClearQueries();
    // Statements left unfinished would keep SQLite from closing the file; those prepared on a
    // PostgreSQL server end with its session.
    sqliteDirect_.reset();
    if (pgDirect_)
        pgDirect_->Forget();
    pgDirect_.reset();
    SetSocket(-1);
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
}

bool DbWorker::WaitDone(Clock::time_point until)
{
    const QCoreApplication* app = QCoreApplication::instance();
    const bool pump = app && QThread::currentThread() == app->thread();
    const Clock::time_point quiet = Clock::now() + kQuietWait;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            const Clock::time_point now = Clock::now();
            if (jobDone_ || now >= until)
                return jobDone_;
            const Clock::time_point slice =
                pump ? std::min(until, now < quiet ? quiet : now + kPumpSlice) : until;
            if (changed_.wait_until(lock, slice, [this] { return jobDone_; }))
                return true;
        }
        if (pump)
            QCoreApplication::processEvents();
    }
}

bool DbWorker::Run(const std::function<void()>& job, milliseconds bound)
{
    const Clock::time_point start = Clock::now();
    {
        const std::lock_guard lock(mutex_);
        job_ = job;
        jobDone_ = false;
        thrown_ = nullptr;
    }
    changed_.notify_all();
    bool done = WaitDone(start + bound - std::min(kGrace, bound / 4));
    if (!done) {
        // The server cannot hold a driver whose socket is gone, frozen or not.
        {
            const std::lock_guard lock(mutex_);
            if (socket_ >= 0)
                ::shutdown(socket_, SHUT_RDWR);
        }
        WaitDone(start + bound);
        std::unique_lock lock(mutex_);
        // Plain computation between two driver calls is never left half done.
        changed_.wait(lock, [this] { return jobDone_ || inDriver_; });
        if (!jobDone_)
            abandoned_ = stopping_ = true;
    }
    std::exception_ptr thrown;
    {
        const std::lock_guard lock(mutex_);
        thrown = std::exchange(thrown_, nullptr);
    }
    if (thrown)
        std::rethrow_exception(thrown);
    return done;
}

void DbWorker::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (!thread_.joinable())
        return;
    if (Abandoned())
        thread_.detach();
    else
        thread_.join();
}

bool DbWorker::Abandoned() const
{
    const std::lock_guard lock(mutex_);
    return abandoned_;
}

void DbWorker::Enter()
{
    {
        const std::lock_guard lock(mutex_);
        if (abandoned_)
            throw DbWorkerAbandoned{};
        inDriver_ = true;
    }
    changed_.notify_all();
}

void DbWorker::Leave()
{
    const std::lock_guard lock(mutex_);
    inDriver_ = false;
    if (abandoned_)
        throw DbWorkerAbandoned{};
}

void DbWorker::ClearQueries()
{
    Blocking([this] {
        queries_.clear();
        return true;
    });
}

void DbWorker::SetSocket(int socket)
{
    const std::lock_guard lock(mutex_);
    socket_ = socket;
}
