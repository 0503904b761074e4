#include "transaction_figures.h"

#include <QElapsedTimer>

#include <algorithm>
#include <numeric>

#include <sys/resource.h>

namespace {
// User and system time of the calling thread.
qint64 ThreadCpuNs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ns = [](const timeval& t) {
        return qint64(t.tv_sec) * 1'000'000'000 + qint64(t.tv_usec) * 1000;
    };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

bool Transaction(SimLine& line, UnitCommand command)
{
    RequestFrame request{command};
    ReplyBuffer reply{};
    return line.Transact(request, 1, true, reply) == LinkOk;
}
} // namespace

std::vector<qint64> TransactionTimes(SimLine& line, UnitCommand command, int count)
{
    std::vector<qint64> times;
    times.reserve(count);
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        if (Transaction(line, command))
            times.push_back(clock.nsecsElapsed());
    }
    return times;
}

CpuFigures TransactionCpu(SimLine& line, UnitCommand command, int count)
{
    int failures = 0;
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuStart = ThreadCpuNs();
    for (int i = 0; i < count; ++i)
        failures += Transaction(line, command) ? 0 : 1;
    const double cpuNs = double(ThreadCpuNs() - cpuStart);
    const double wallNs = double(wall.nsecsElapsed());
    return {cpuNs / count / 1000.0, wallNs / count / 1000.0, failures};
}

double Mean(const std::vector<qint64>& values)
{
    if (values.empty())
        return 0;
    return double(std::accumulate(values.begin(), values.end(), qint64(0))) / double(values.size());
}

double Median(std::vector<qint64> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return double(*middle);
}
