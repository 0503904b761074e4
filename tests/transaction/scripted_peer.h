#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <vector>

// One reaction of a scripted unit: once `take` more bytes have arrived, answer (nothing when empty),
// at once or after answerDelay ms, then keep the thread busy for stall ms (a busy window).
struct PeerStep
{
    int take = 0;
    QByteArray answer;
    int answerDelay = 0;
    int stall = 0;
};
using PeerScript = std::vector<PeerStep>;

// The far end of a link in tests: reacts to what the link sends, step by step, and records it.
// Bytes beyond the script are only recorded.
class ScriptedPeer : public QObject
{
    Q_OBJECT
public:
    void SetScript(PeerScript script);
    // Writes bytes to the link, outside of any script.
    virtual void Send(const QByteArray& bytes) = 0;

    const QByteArray& Received() const { return received_; }
    int StepsDone() const { return int(next_); }
    // A step found more bytes waiting than it takes: the link did not wait for an answer.
    bool Overrun() const { return overrun_; }
    // Called after each step has reacted, with the step's index.
    std::function<void(int)> afterStep;

protected:
    void Feed(const QByteArray& bytes);

private:
    void React(const PeerStep& step);

    PeerScript script_;
    size_t next_ = 0;
    QByteArray received_;
    QByteArray pending_;
    bool overrun_ = false;
};
