#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The benches open windows (the server's own, and widgets behind the event loop they measure): on
// a machine without a display they run offscreen instead of ending at the first one. A platform
// chosen in the environment stands.
inline void RunOffscreenWithoutDisplay()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // That platform says at every window shown that it passes no size hints on: nothing a bench
    // measures, and it would bury the figures.
    static const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text != QLatin1String("This plugin does not support propagateSizeHints()"))
                previous(type, context, text);
        });
}
