#pragma once

#include <unit/systems_info.h>

#include <QtGlobal>

#include <vector>

// What the scan engine shows in the main window.
class ScanWindow
{
public:
    virtual ~ScanWindow() = default;

    // Rewrites the grid with the run's units, each shown offline.
    virtual void ShowRunUnits(const std::vector<SystemInfo>& units) = 0;
    virtual void ShowLinkState(int unit, quint8 linkState) = 0;
    virtual void ClearOnlineColumn() = 0;
    // The troubles the operator should know of now, shown without stopping the run (the status
    // line); an empty text when none is left.
    virtual void ShowScanProblem(const QString& text) = 0;
    // Back to idle after a stop: status line empty, menus enabled, "Σύνδεση" enabled.
    virtual void RestoreIdle() = 0;
};

// The scheduling timers as the scan engine drives them.
class ScanTimers
{
public:
    virtual ~ScanTimers() = default;

    // Arms the next pass; also starts the request check when the pass is more than
    // a check interval away.
    virtual void Rearm(int scanIntervalMs) = 0;
    virtual void StopPing() = 0;
};
