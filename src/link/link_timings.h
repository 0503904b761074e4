#pragma once

// Waits and pauses of the unit link, in milliseconds. The defaults are the unit protocol's;
// tests pass shorter ones.
struct LinkTimings
{
    int blockReplyWait = 5000;
    int blockLogPageReplyWait = 40000; // a log page half takes the unit far longer
    int handshakeWait = 15000;         // each acknowledgement, and the final reply
    int handshakeLogPageReplyWait = 50000;
    int blockPause = 5000;
    int handshakePause = 13000;
    int tcpConnectWait = 3000; // each connection attempt
};
