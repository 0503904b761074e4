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
    Stop();
    // Deleted in its own thread, where its sockets and timers belong: a thread that finishes
    // still runs its pending deletions.
    sim_->deleteLater();
    thread_.quit();
    thread_.wait();
}

bool SimThread::InThread(const std::function<bool()>& work)
{
    bool result = false;
    QMetaObject::invokeMethod(
        sim_, [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
}

bool SimThread::ServePty(const QString& linkPath)
{
    return InThread([&] { return sim_->ServePty(linkPath); });
}

bool SimThread::ServeTcp(quint16 port)
{
    return InThread([&] { return sim_->ServeTcp(port); });
}

bool SimThread::ServeDevice(const QString& path)
{
    return InThread([&] { return sim_->ServeDevice(path); });
}

void SimThread::Stop()
{
    InThread([&] {
        sim_->Stop();
        return true;
    });
}

} // namespace unitsim
