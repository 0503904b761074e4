#include "scripted_peer.h"

#include <QThread>
#include <QTimer>

void ScriptedPeer::SetScript(PeerScript script)
{
    script_ = std::move(script);
    next_ = 0;
    received_.clear();
    pending_.clear();
    overrun_ = false;
}

void ScriptedPeer::Feed(const QByteArray& bytes)
{
    received_ += bytes;
    pending_ += bytes;
    while (next_ < script_.size() && pending_.size() >= script_[next_].take) {
        const PeerStep& step = script_[next_];
        overrun_ = overrun_ || pending_.size() > step.take;
        pending_.remove(0, step.take);
        const int index = int(next_++);
        React(step);
        if (afterStep)
            afterStep(index);
    }
}

void ScriptedPeer::React(const PeerStep& step)
{
    if (!step.answer.isEmpty()) {
        if (step.answerDelay > 0)
            QTimer::singleShot(step.answerDelay, this, [this, answer = step.answer] { Send(answer); });
        else
            Send(step.answer);
    }
    if (step.stall > 0)
        QThread::msleep(step.stall);
}
