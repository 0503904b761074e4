#pragma once

#include "scan_flags.h"
#include "scan_window.h"
#include "system_runtime_record.h"

#include <shell/program_end.h>

#include <QDateTime>

#include <functional>
#include <vector>

class Database;

// Visits every used unit once per pass. The first pass of a run loads the used units;
// after a pass it either arms the next one or, when the window asked for it, stops the run.
class ScanEngine
{
public:
    using Clock = std::function<QDateTime()>;

    ScanEngine(Database& db, ScanFlags& flags, ScanWindow& window, ScanTimers& timers, ProgramEnd endProgram,
               Clock clock = &QDateTime::currentDateTime);

    void ScanSystems();

    bool SystemsLoaded() const { return systemsLoaded_; }
    const std::vector<SystemRuntimeRecord>& RuntimeSystems() const { return runtime_; }

private:
    void RunStart();
    void Turn(int unit);
    void EndOfTurn(int unit);
    void Rearm(const QDateTime& passStart);
    void Stop();

    Database& db_;
    ScanFlags& flags_;
    ScanWindow& window_;
    ScanTimers& timers_;
    ProgramEnd endProgram_;
    Clock clock_;

    bool systemsLoaded_ = false;
    std::vector<SystemRuntimeRecord> runtime_;
    std::vector<bool> logBlocked_;
};
