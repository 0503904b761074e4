#include "db_worker.h"

#include "db_connection.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <pthread.h>
#include <sched.h>

#include <clocale>
#include <locale.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A fast statement comes back within this without the cost of pumping events.
constexpr milliseconds kQuietWait{2};
// How long the window may go without its events while a job runs.
constexpr milliseconds kPumpSlice{20};
// How long a cut job has to come back before its thread is left behind.
constexpr milliseconds kAfterCut{100};

// Holds back the user's input while a call waits: a handler that a click reaches then would run
// nested in the call's caller, which is not ready for it.
class UserInputHold : public QObject
{
public:
    UserInputHold() { QCoreApplication::instance()->installEventFilter(this); }
    ~UserInputHold() override { QCoreApplication::instance()->removeEventFilter(this); }
    UserInputHold(const UserInputHold&) = delete;
    UserInputHold& operator=(const UserInputHold&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            return event->spontaneous();
        default:
            return false;
        }
    }
};

// libpq translates its messages by the locale's LC_MESSAGES, but they are classified in English.
// The connection's thread reads them in C, whatever the process's locale and without changing it.
locale_t MessagesInC()
{
    static const locale_t locale = newlocale(LC_MESSAGES_MASK, "C", duplocale(LC_GLOBAL_LOCALE));
    return locale;
}

// The window's events are pumped while the application's own thread waits.
bool OnApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

std::shared_ptr<DbWorker> DbWorker::Start(QString connectionName, DbDriver driver)
{
    std::shared_ptr<DbWorker> worker(new DbWorker(std::move(connectionName), driver));
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

void DbWorker::Loop()
{
    if (const locale_t c = MessagesInC())
        uselocale(c);
    DbConnection connection(name_, driver_, cut_);
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            posted_.wait(lock, [this] { return stopping_ || job_; });
            if (!job_)
                break;
            job = std::move(job_);
        }
        std::exception_ptr thrown;
        try {
            job->work(connection);
        } catch (...) {
            thrown = std::current_exception();
        }
        bool givenUp = false;
        {
            const std::lock_guard lock(mutex_);
            job->thrown = thrown;
            job->done = true;
            givenUp = abandoned_;
        }
        if (givenUp)
            break;
        finished_.notify_one();
    }
}

void DbWorker::FollowCaller()
{
    // A job runs while its caller waits: on the caller's CPU, handing it over and back wakes no
    // other CPU, which costs more than most statements.
    const int cpu = sched_getcpu();
    if (cpu < 0 || cpu == cpu_)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (pthread_setaffinity_np(thread_.native_handle(), sizeof set, &set) == 0)
        cpu_ = cpu;
}

bool DbWorker::WaitDone(const Job& job, Clock::time_point until, bool pump)
{
    const Clock::time_point quiet = Clock::now() + kQuietWait;
    std::optional<UserInputHold> hold;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            const Clock::time_point now = Clock::now();
            if (job.done || now >= until)
                return job.done;
            const Clock::time_point slice =
                pump ? std::min(until, now < quiet ? quiet : now + kPumpSlice) : until;
            if (finished_.wait_until(lock, slice, [&job] { return job.done; }))
                return true;
        }
        if (pump) {
            if (!hold)
                hold.emplace();
            QCoreApplication::processEvents();
        }
    }
}

std::shared_ptr<DbWorker::Job> DbWorker::Post(std::function<void(DbConnection&)> work)
{
    const auto job = std::make_shared<Job>();
    job->work = std::move(work);
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            return nullptr;
        job_ = job;
    }
    FollowCaller();
    posted_.notify_one();
    return job;
}

bool DbWorker::Run(std::function<void(DbConnection&)> work, milliseconds bound)
{
    const Clock::time_point start = Clock::now();
    const auto job = Post(std::move(work));
    if (!job)
        return false;
    if (WaitDone(*job, start + bound, OnApplicationThread())) {
        if (job->thrown)
            std::rethrow_exception(job->thrown);
        return true;
    }
    cut_.Now();
    // The caller is held no longer than the bound and the grace after it, the close included.
    End(job.get(), Clock::now() + kAfterCut, false);
    return false;
}

void DbWorker::Stop(milliseconds bound)
{
    End(nullptr, Clock::now() + bound, OnApplicationThread());
}

void DbWorker::End(const Job* running, Clock::time_point until, bool pump)
{
    if (!thread_.joinable())
        return;
    bool closed = false;
    if (!Abandoned() && (!running || WaitDone(*running, until, pump))) {
        const auto close = Post([](DbConnection& connection) { connection.Close(); });
        closed = close && WaitDone(*close, until, pump);
    }
    if (!closed)
        cut_.Now();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        abandoned_ = abandoned_ || !closed;
    }
    posted_.notify_one();
    if (closed)
        thread_.join();
    else
        thread_.detach();
}

bool DbWorker::Abandoned() const
{
    const std::lock_guard lock(mutex_);
    return abandoned_;
}
