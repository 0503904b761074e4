#pragma once

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// A TCP proxy on 127.0.0.1 in front of a database server, which can stop answering as a frozen
// server does: it keeps its connections open, and the kernel goes on accepting what the client
// sends, but nothing is read or forwarded any more. Runs on a thread of its own.
class StallingProxy
{
public:
    enum class Mode {
        Forward,
        // Every connection, also one made from now on, stalls.
        Freeze,
        // A connection that has sent a large message (rows of a log) stalls at its next COMMIT:
        // the COMMIT reaches the server but its answer never comes back ...
        SwallowCommitAnswer,
        // ... or the COMMIT itself never reaches the server.
        SwallowCommit,
    };

    explicit StallingProxy(quint16 serverPort);
    ~StallingProxy();
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    quint16 Port() const { return port_; }
    void SetMode(Mode mode);
    // Closes the stalled connections, as the server's side ends them in time, and forwards again.
    void CutStalled();
    // Connections that stalled since the proxy began.
    int Stalls() const { return stalls_; }

private:
    struct Pair
    {
        int client = -1;
        int server = -1;
        bool stalled = false;
        bool armed = false;
    };
    void Loop();
    void Accept();
    // False when the pair is over.
    bool Carry(Pair& pair, bool fromClient);
    void Stall(Pair& pair);

    quint16 serverPort_;
    quint16 port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::mutex mutex_;
    Mode mode_ = Mode::Forward;
    bool cut_ = false;
    bool quit_ = false;
    std::atomic<int> stalls_ = 0;
    std::vector<Pair> pairs_;
    std::thread thread_;
};
