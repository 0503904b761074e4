#include "sim_thread.h"

#include <QMetaObject>

namespace unitsim {

SimThread::SimThread() : sim_(new UnitSimulator)
{
    thread_.setObjectName(QStringLiteral("unit simulator"));
    sim_->moveToThread(&thread_);
    thread_.start();
}

SimThread::~SimThread()
{
    stop();
    // Deleted in its own thread, where its sockets and timers belong: a thread that finishes
    // still runs its pending deletions.
    sim_->deleteLater();
    thread_.quit();
    thread_.wait();
}

bool SimThread::inThread(const std::function<bool()>& work)
{
    bool result = false;
    QMetaObject::invokeMethod(
        sim_, [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
}

bool SimThread::servePty(const QString& linkPath)
{
    return inThread([&] { return sim_->servePty(linkPath); });
}

bool SimThread::serveTcp(quint16 port)
{
    return inThread([&] { return sim_->serveTcp(port); });
}

bool SimThread::serveDevice(const QString& path)
{
    return inThread([&] { return sim_->serveDevice(path); });
}

void SimThread::stop()
{
    inThread([&] {
        sim_->stop();
        return true;
    });
}

} // namespace unitsim
