#include "stalling_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace {

// A log's rows travel in messages far larger than any other statement's.
constexpr ssize_t kLargeMessage = 600;

sockaddr_in LocalAddress(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

StallingProxy::StallingProxy(quint16 serverPort) : serverPort_(serverPort)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = LocalAddress(0);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
    if (::pipe(wake_) != 0)
        port_ = 0;
    thread_ = std::thread([this] { Loop(); });
}

StallingProxy::~StallingProxy()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    [[maybe_unused]] const auto written = ::write(wake_[1], "q", 1);
    thread_.join();
    for (Pair& pair : pairs_) {
        CloseFd(pair.client);
        CloseFd(pair.server);
    }
    CloseFd(listener_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
}

void StallingProxy::SetMode(Mode mode)
{
    {
        const std::lock_guard lock(mutex_);
        mode_ = mode;
    }
    [[maybe_unused]] const auto written = ::write(wake_[1], "m", 1);
}

void StallingProxy::CutStalled()
{
    {
        const std::lock_guard lock(mutex_);
        mode_ = Mode::Forward;
        cut_ = true;
    }
    [[maybe_unused]] const auto written = ::write(wake_[1], "c", 1);
}

void StallingProxy::Stall(Pair& pair)
{
    pair.stalled = true;
    ++stalls_;
}

void StallingProxy::Loop()
{
    for (;;) {
        Mode mode = Mode::Forward;
        {
            const std::lock_guard lock(mutex_);
            if (quit_)
                return;
            mode = mode_;
            if (std::exchange(cut_, false)) {
                for (Pair& pair : pairs_) {
                    if (pair.stalled) {
                        CloseFd(pair.client);
                        CloseFd(pair.server);
                    }
                }
                std::erase_if(pairs_, [](const Pair& p) { return p.client < 0; });
            }
        }
        if (mode == Mode::Freeze) {
            for (Pair& pair : pairs_)
                if (!pair.stalled)
                    Stall(pair);
        }
        std::vector<pollfd> polled{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        std::vector<std::pair<size_t, bool>> owners;
        for (size_t i = 0; i < pairs_.size(); ++i) {
            if (pairs_[i].stalled)
                continue;
            polled.push_back({pairs_[i].client, POLLIN, 0});
            owners.emplace_back(i, true);
            polled.push_back({pairs_[i].server, POLLIN, 0});
            owners.emplace_back(i, false);
        }
        if (::poll(polled.data(), polled.size(), -1) < 0)
            continue;
        if (polled[0].revents) {
            char drained[16];
            [[maybe_unused]] const auto read = ::read(wake_[0], drained, sizeof drained);
        }
        std::vector<size_t> over;
        for (size_t k = 2; k < polled.size(); ++k) {
            const auto [i, fromClient] = owners[k - 2];
            if (polled[k].revents && !pairs_[i].stalled && !Carry(pairs_[i], fromClient))
                over.push_back(i);
        }
        for (auto i = over.rbegin(); i != over.rend(); ++i) {
            CloseFd(pairs_[*i].client);
            CloseFd(pairs_[*i].server);
        }
        std::erase_if(pairs_, [](const Pair& p) { return p.client < 0; });
        if (polled[1].revents)
            Accept();
    }
}

void StallingProxy::Accept()
{
    Pair pair;
    pair.client = ::accept(listener_, nullptr, nullptr);
    if (pair.client < 0)
        return;
    bool frozen = false;
    {
        const std::lock_guard lock(mutex_);
        frozen = mode_ == Mode::Freeze;
    }
    // A frozen server's kernel still completes the handshake; nothing answers after it.
    if (frozen) {
        Stall(pair);
        pairs_.push_back(pair);
        return;
    }
    pair.server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = LocalAddress(serverPort_);
    if (::connect(pair.server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseFd(pair.client);
        CloseFd(pair.server);
        return;
    }
    pairs_.push_back(pair);
}

bool StallingProxy::Carry(Pair& pair, bool fromClient)
{
    char data[65536];
    const ssize_t got = ::recv(fromClient ? pair.client : pair.server, data, sizeof data, 0);
    if (got <= 0)
        return false;
    Mode mode = Mode::Forward;
    {
        const std::lock_guard lock(mutex_);
        mode = mode_;
    }
    if (fromClient && (mode == Mode::SwallowCommitAnswer || mode == Mode::SwallowCommit)) {
        if (got >= kLargeMessage)
            pair.armed = true;
        if (pair.armed && std::string_view(data, size_t(got)).find("COMMIT") != std::string_view::npos) {
            Stall(pair);
            if (mode == Mode::SwallowCommit)
                return true;
        }
    }
    const int to = fromClient ? pair.server : pair.client;
    for (ssize_t sent = 0; sent < got;) {
        const ssize_t n = ::send(to, data + sent, size_t(got - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}
