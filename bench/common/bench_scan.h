#pragma once

#include "folder_serial_ports.h"

#include <link/unit_link.h>
#include <scan/scan_engine.h>
#include <scan/scan_window.h>

#include <cstdio>

// A window that shows nothing but the scan's problems, on stderr, for the benchmarks.
class QuietWindow : public ScanWindow
{
public:
    void ShowRunUnits(const std::vector<SystemInfo>&) override {}
    void ShowLinkState(int, quint8) override {}
    void ClearOnlineColumn() override {}
    void ShowScanProblem(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void RestoreIdle() override {}
};

// Timers that only remember the interval a pass armed.
class RecordedTimers : public ScanTimers
{
public:
    void Rearm(int ms) override { interval = ms; }
    void StopPing() override {}
    int interval = 0;
};

// The scan engine over units whose serial links lie in folder, as a benchmark drives it.
struct BenchScan
{
    BenchScan(Database& db, const QString& folder)
        : link(FolderSerialPorts(folder)), engine(db, link, flags, window, timers, [] {})
    {
    }

    UnitLink link;
    ScanFlags flags;
    QuietWindow window;
    RecordedTimers timers;
    ScanEngine engine;
};
