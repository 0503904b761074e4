#pragma once

#include <link/link_timings.h>

// Waits and pauses short enough for tests, long enough for a simulated unit on a loaded machine.
// Each is distinct, and the handshake wait is far from the block wait, so that a test can tell
// which one was taken.
inline LinkTimings ShortLinkTimings()
{
    return LinkTimings{.blockReplyWait = 150,
                       .blockLogPageReplyWait = 600,
                       .handshakeWait = 400,
                       .handshakeLogPageReplyWait = 800,
                       .blockPause = 30,
                       .handshakePause = 45,
                       .tcpConnectWait = 300};
}
