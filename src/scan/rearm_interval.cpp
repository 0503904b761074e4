#include "rearm_interval.h"

int RearmInterval(bool logPending, bool requestPending, qint64 elapsedSeconds)
{
    if (logPending || requestPending)
        return 500;
    if (elapsedSeconds < 0)
        return 10000;
    if (elapsedSeconds >= 10)
        return 1000;
    return int(10 - elapsedSeconds) * 1000;
}
