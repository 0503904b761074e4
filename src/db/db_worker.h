#pragma once

#include "db_cut.h"
#include "db_session.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class DbConnection;

// The thread that one database connection lives on. Qt allows a connection only on the thread
// that made it, and a driver call may hang for as long as the server, the network or the disk
// pleases: the caller waits for its job within a bound, and a job that overstays it is cut short
// and left to end by itself.
class DbWorker
{
public:
    // connectionName: the connection's name in Qt's list, used on this thread only.
    static std::shared_ptr<DbWorker> Start(QString connectionName, DbDriver driver);
    ~DbWorker();
    DbWorker(const DbWorker&) = delete;
    DbWorker& operator=(const DbWorker&) = delete;

    // Runs work on the thread with its connection and waits for it at most bound. On the
    // application's thread the window repaints and timers tick meanwhile, but no click or key
    // reaches a handler. True when work came back within bound. Otherwise the call is cut short
    // (see DbCut) and the worker stopped: when the call and the close come back at once its
    // thread ends, else it is given up and ends by itself when the driver lets it, touching
    // nothing but what work owns. work owns what it reads and where it leaves its result.
    bool Run(std::function<void(DbConnection&)> work, std::chrono::milliseconds bound);
    // Closes the connection and ends the thread; gives it up past bound.
    void Stop(std::chrono::milliseconds bound);
    bool Abandoned() const;

private:
    struct Job
    {
        std::function<void(DbConnection&)> work;
        bool done = false;
        std::exception_ptr thrown;
    };

    DbWorker(QString connectionName, DbDriver driver) : name_(std::move(connectionName)), driver_(driver) {}
    // Hands work to the thread; nullptr once the worker stops.
    std::shared_ptr<Job> Post(std::function<void(DbConnection&)> work);
    void Loop();
    // Waits for the job running, if any, closes the connection and ends the thread, all by until;
    // what has not come back by then is cut short and given up. Once only.
    void End(const Job* running, std::chrono::steady_clock::time_point until, bool pump);
    void FollowCaller();
    bool WaitDone(const Job& job, std::chrono::steady_clock::time_point until, bool pump);

    const QString name_;
    const DbDriver driver_;
    DbCut cut_;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::condition_variable finished_;
    std::shared_ptr<Job> job_;
    bool stopping_ = false;
    bool abandoned_ = false;
    // The CPU the thread is kept on, or -1.
    int cpu_ = -1;
};
