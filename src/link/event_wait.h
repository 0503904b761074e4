#pragma once

#include <functional>

// Pumps events on the calling (user-interface) thread until done() holds or the time is up,
// so that the window, timers and receive notifications stay alive meanwhile. done() is checked
// before and after each wake, and once more after pending events have been let in at the time-out,
// so data that arrives together with the time-out still counts. Nested waits are safe: each wait
// keeps its own timer and nothing quits an event loop. Returns done().
bool WaitUntil(int milliseconds, const std::function<bool()>& done);

// Lets pending events run once, without waiting for new ones.
void PumpEventsOnce();
