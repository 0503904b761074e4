#include "short_timings.h"

LinkTimings ShortTimings()
{
    LinkTimings timings;
    timings.blockReplyWait = 150;
    timings.blockLogPageReplyWait = 250;
    // The unit takes a lone command byte for a handshake only after its detection gap.
    timings.handshakeWait = 200;
    timings.handshakeLogPageReplyWait = 300;
    timings.blockPause = 30;
    timings.handshakePause = 45;
    timings.tcpConnectWait = 500;
    return timings;
}
