#pragma once

#include <QtGlobal>

// A port on 127.0.0.1 whose connection attempts are never answered. On loopback the kernel
// completes a handshake to any listening socket by itself, so this one listens with a backlog of
// zero and has its accept queue filled by a first connection that is never accepted: the kernel
// then drops every further SYN, and a client stays connecting until it gives up.
class SilentListener
{
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    quint16 Port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    quint16 port_ = 0;
};
