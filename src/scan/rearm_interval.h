#pragma once

#include <QtGlobal>

// Interval until the next pass: 500 ms while a log or a terminal request waits,
// otherwise so that passes start ten seconds apart, at least one second after the
// last one ends; a clock set back waits the full ten seconds.
int RearmInterval(bool logPending, bool requestPending, qint64 elapsedSeconds);
