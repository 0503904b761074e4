#pragma once

#include <db/database.h>

#include <ctime>

// CPU time of the calling thread, in milliseconds.
inline double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of the server's own threads: this one, and the connection's, where the statements run.
inline double ServerCpuMs(Database& db)
{
    double connection = 0;
    db.WithDriverHandle([&](const QVariant&) { connection = ThreadCpuMs(); });
    return ThreadCpuMs() + connection;
}
