#include "scan_scheduler.h"

#include <db/database.h>
#include <scan/request_step.h>

ScanScheduler::ScanScheduler(Database& db, std::function<void()> scanSystems, SchedulerIntervals intervals)
    : db_(db), scanSystems_(std::move(scanSystems)), pingMs_(intervals.pingMs)
{
    NewTrmReqCheck.setInterval(intervals.requestCheckMs);
    PingRequest.setInterval(pingMs_);
    connect(&SystemScan, &QTimer::timeout, this, &ScanScheduler::SystemScan_Timer);
    connect(&NewTrmReqCheck, &QTimer::timeout, this, &ScanScheduler::NewTrmReqCheck_Timer);
    connect(&PingRequest, &QTimer::timeout, this, &ScanScheduler::PingRequest_Timer);
}

void ScanScheduler::Rearm(int scanIntervalMs)
{
    SystemScan.setInterval(scanIntervalMs);
    if (scanIntervalMs > NewTrmReqCheck.interval())
        NewTrmReqCheck.start();
    SystemScan.start();
}

void ScanScheduler::StartPing()
{
    PingRequest.start(pingMs_);
}

void ScanScheduler::StopPing()
{
    PingRequest.stop();
}

void ScanScheduler::SystemScan_Timer()
{
    // A tick that comes while a database call waits (the window's events run meanwhile) would
    // find the connection taken: the pass starts as soon as it is free.
    if (db_.Busy()) {
        SystemScan.start(kBusyRetryMs);
        return;
    }
    SystemScan.stop();
    NewTrmReqCheck.stop();
    scanSystems_();
}

void ScanScheduler::NewTrmReqCheck_Timer()
{
    NewTrmReqCheck.stop();
    if (db_.Busy()) {
        NewTrmReqCheck.start();
        return;
    }
    const std::optional<bool> pending = TerminalRequestPending(db_);
    // A request table that fails is tried again by the pass that the scan timer starts anyway;
    // asking it every second could hold the window a lock time-out out of every second.
    if (pending.value_or(false))
        SystemScan_Timer();
    else if (pending)
        NewTrmReqCheck.start();
}

void ScanScheduler::PingRequest_Timer()
{
    PingRequest.stop();
    // Waiting a whole interval after a call that held the connection (a lock can hold one for
    // seconds) would leave the terminals' rows unserved for two: the tick runs once it is free.
    if (db_.Busy()) {
        PingRequest.start(kBusyRetryMs);
        return;
    }
    db_.Exec(
        QStringLiteral("UPDATE Terminal_Ping_Requests SET TrmPingReq_Served=1 WHERE TrmPingReq_Served=0"));
    PingRequest.start(pingMs_);
}
