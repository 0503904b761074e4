#pragma once

#include <scan/scan_window.h>

#include <QObject>
#include <QTimer>

#include <functional>

class Database;

struct SchedulerIntervals
{
    int requestCheckMs = 1000;
    int pingMs = 30000;
};

// The timers that drive a scan run: the scan timer starts the next pass, the request
// check starts one early when a terminal has left a request, and the ping timer marks
// the terminals' ping rows as served. Each handler switches its own timer off first,
// so none runs nested inside itself; a pass keeps the first two off while it runs. A scan or
// ping tick that comes while a database call waits runs as soon as that call has ended.
class ScanScheduler : public QObject, public ScanTimers
{
    Q_OBJECT
public:
    ScanScheduler(Database& db, std::function<void()> scanSystems, SchedulerIntervals intervals = {});

    void Rearm(int scanIntervalMs) override;
    void StopPing() override;
    void StartPing();

    void SystemScan_Timer();
    void NewTrmReqCheck_Timer();
    void PingRequest_Timer();

    QTimer SystemScan;
    QTimer NewTrmReqCheck;
    QTimer PingRequest;

private:
    static constexpr int kBusyRetryMs = 50;

    Database& db_;
    std::function<void()> scanSystems_;
    int pingMs_;
};
