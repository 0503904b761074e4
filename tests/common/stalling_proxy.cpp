#include "stalling_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

// The protocol's requests that precede the startup message, as their code reads.
constexpr quint32 kSslRequest = 80877103;
constexpr quint32 kGssEncRequest = 80877104;

quint32 ReadU32(std::string_view bytes, size_t at)
{
    quint32 value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// The size of the first message of bytes once it is whole, else 0. A startup message has no
// type byte; every later one has.
size_t WholeMessage(std::string_view bytes, bool started)
{
    const size_t at = started ? 1 : 0;
    if (bytes.size() < at + 4)
        return 0;
    const size_t whole = at + std::max<quint32>(ReadU32(bytes, at), 4);
    return bytes.size() >= whole ? whole : 0;
}

// The text that begins at at, ended by a NUL; at moves past it.
std::string_view NextText(std::string_view body, size_t& at)
{
    const size_t from = std::min(at, body.size());
    const size_t end = std::min(body.find('\0', from), body.size());
    at = end + 1;
    return body.substr(from, end - from);
}

bool SendAll(int fd, std::string_view bytes)
{
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

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

void StallingProxy::SetMode(Mode mode, const std::string& mark)
{
    {
        const std::lock_guard lock(mutex_);
        mode_ = mode;
        mark_ = mark;
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
                    if (pair.stalled || pair.answersHeld) {
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
            if (pairs_[i].answersHeld)
                continue;
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
    if (fromClient) {
        pair.partial.append(data, size_t(got));
        return ForwardClientMessages(pair);
    }
    return SendAll(pair.client, std::string_view(data, size_t(got)));
}

bool StallingProxy::ForwardClientMessages(Pair& pair)
{
    Mode mode = Mode::Forward;
    std::string mark;
    {
        const std::lock_guard lock(mutex_);
        mode = mode_;
        mark = mark_;
    }
    const bool swallowing = (mode == Mode::SwallowAnswer || mode == Mode::SwallowStatement) && !mark.empty();
    const std::string_view bytes = pair.partial;
    size_t sendable = 0;
    bool stall = false;
    while (!stall) {
        const std::string_view message =
            bytes.substr(sendable, WholeMessage(bytes.substr(sendable), pair.started));
        if (message.empty())
            break;
        if (!pair.started) {
            const quint32 code = message.size() >= 8 ? ReadU32(message, 4) : 0;
            pair.started = code != kSslRequest && code != kGssEncRequest;
        } else if (pair.answersHeld) {
            // The run of the statement ends with a Sync, which commits it.
            stall = message[0] == 'S';
        } else if (Runs(pair, message, swallowing ? mark : std::string_view())) {
            ++stalls_;
            {
                const std::lock_guard lock(mutex_);
                mode_ = Mode::Forward;
            }
            if (mode == Mode::SwallowStatement) {
                stall = true;
                break;
            }
            // A simple query is its own run; a prepared one runs until its Sync.
            stall = message[0] == 'Q';
            pair.answersHeld = !stall;
        }
        sendable += message.size();
    }
    const bool sent = SendAll(pair.server, bytes.substr(0, sendable));
    pair.partial.erase(0, sendable);
    if (stall) {
        pair.stalled = true;
        pair.answersHeld = false;
    }
    return sent;
}

bool StallingProxy::Runs(Pair& pair, std::string_view message, std::string_view mark)
{
    size_t at = 5;
    switch (message[0]) {
    case 'P': { // Parse: the statement's name and text
        const std::string name(NextText(message, at));
        pair.prepared[name] = std::string(NextText(message, at));
        return false;
    }
    case 'B': { // Bind: the portal's name, then the statement's
        NextText(message, at);
        const auto statement = pair.prepared.find(std::string(NextText(message, at)));
        return !mark.empty() && statement != pair.prepared.end() &&
               statement->second.find(mark) != std::string::npos;
    }
    case 'Q': // a simple query's text
        return !mark.empty() && message.find(mark, at) != std::string_view::npos;
    default:
        return false;
    }
}
