#pragma once

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
