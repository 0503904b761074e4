#pragma once

#include <QtGlobal>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A TCP proxy on 127.0.0.1 in front of a PostgreSQL server, which can stop answering as a frozen
// server does: it keeps its connections open, and the kernel goes on accepting what the client
// sends, but nothing is read or forwarded any more. It can also stall one chosen statement, reading
// the client's messages of the server's protocol. Runs on a thread of its own.
class StallingProxy
{
public:
    enum class Mode {
        Forward,
        // Every connection, also one made from now on, stalls.
        Freeze,
        // The next run of a statement whose text holds the mark stalls its connection: the statement
        // reaches the server, which runs it to its end, but its answer never comes back ...
        SwallowAnswer,
        // ... or the statement never reaches the server. Either stalls once, then the proxy forwards.
        SwallowStatement,
    };

    explicit StallingProxy(quint16 serverPort);
    ~StallingProxy();
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    quint16 Port() const { return port_; }
    void SetMode(Mode mode, const std::string& mark = {});
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
        // The server's answers are no longer read; the client's messages still go, up to the end of
        // the statement's run.
        bool answersHeld = false;
        // The client's startup messages carry no type byte.
        bool started = false;
        // The client's bytes of a message not yet whole.
        std::string partial;
        // The text of each statement the client prepared, by its name.
        std::map<std::string, std::string> prepared;
    };
    void Loop();
    void Accept();
    // False when the pair is over.
    bool Carry(Pair& pair, bool fromClient);
    // Forwards the client's whole messages, up to a stall; false when the server is gone.
    bool ForwardClientMessages(Pair& pair);
    // Whether the whole message runs a statement whose text holds the mark; keeps the texts
    // prepared.
    bool Runs(Pair& pair, std::string_view message, std::string_view mark);
    void Stall(Pair& pair);

    quint16 serverPort_;
    quint16 port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::mutex mutex_;
    Mode mode_ = Mode::Forward;
    std::string mark_;
    bool cut_ = false;
    bool quit_ = false;
    std::atomic<int> stalls_ = 0;
    std::vector<Pair> pairs_;
    std::thread thread_;
};
