#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A port on 127.0.0.1 held without listening: a connection to it is refused, and the system gives
// it to no socket that asks for any free port, also in another test that runs meanwhile. A
// listener of this process may still take it: both reuse the address.
class HeldTcpPort
{
public:
    HeldTcpPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
            ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~HeldTcpPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    HeldTcpPort(const HeldTcpPort&) = delete;
    HeldTcpPort& operator=(const HeldTcpPort&) = delete;

    // 0 when no port could be held.
    quint16 Port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
};
