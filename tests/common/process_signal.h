#pragma once

#include <QProcess>

#include <csignal>
#include <sys/types.h>

// Sends a signal to a process that is running. A QProcess that has ended reports the id 0, and a
// signal to 0 reaches the whole process group: the test runner and whatever started it.
inline bool SignalRunning(const QProcess& process, int signal)
{
    const qint64 pid = process.processId();
    return process.state() == QProcess::Running && pid > 0 && ::kill(pid_t(pid), signal) == 0;
}
