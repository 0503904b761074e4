#pragma once

#include "link_timings.h"

// Waits long enough for the simulated unit's answers on a busy machine, each distinct so a test
// can tell which one was taken.
LinkTimings ShortTimings();
