#pragma once

#include <QByteArray>
#include <QtGlobal>

// The benches open windows (the server's own, and widgets behind the event loop they measure): on
// a machine without a display they run offscreen instead of ending at the first one. A platform
// chosen in the environment stands.
inline void RunOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
