#pragma once

// The main window's requests to the scan engine, and whether a scan run is active.
// The window only raises the requests; the engine acts on them between unit turns.
struct ScanFlags
{
    bool StopRequested = false;
    bool ExitRequested = false;
    bool ScanActive = false;
};
