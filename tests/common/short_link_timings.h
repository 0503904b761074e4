#pragma once

#include <link/link_timings.h>

// Waits and pauses short enough for tests, long enough for a simulated unit on a loaded machine.
inline LinkTimings ShortLinkTimings()
{
    return LinkTimings{.blockReplyWait = 150,
                       .blockLogPageReplyWait = 300,
                       .handshakeWait = 150,
                       .handshakeLogPageReplyWait = 300,
                       .blockPause = 20,
                       .handshakePause = 20,
                       .tcpConnectWait = 300};
}
