#include "sim_output_runner.h"

#include "sim_bytes.h"
#include "sim_log.h"
#include "sim_transport.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace unitsim {

OutputRunner::OutputRunner(SimLog& log, QObject* parent) : QObject(parent), log_(log)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (writing_.isEmpty() || ContinueWrite())
            RunNext();
    });
}

void OutputRunner::Enqueue(SimActions actions)
{
    if (actions.empty())
        return;
    for (SimAction& a : actions)
        queue_.push_back(std::move(a));
    if (!busy_) {
        busy_ = true;
        RunNext();
    }
}

void OutputRunner::Clear()
{
    queue_.clear();
    timer_.stop();
    writing_.clear();
    busy_ = false;
    ++clears_;
}

void OutputRunner::RunNext()
{
    while (!queue_.empty()) {
        SimAction action = std::move(queue_.front());
        queue_.pop_front();
        switch (action.kind) {
        case SimAction::Kind::Wait:
            timer_.start(action.ms);
            return;
        case SimAction::Kind::Drop:
            Clear();
            log_.Line(QStringLiteral("link dropped for %1 ms").arg(action.ms));
            emit DropRequested(action.ms);
            return;
        case SimAction::Kind::Write:
            writing_ = std::move(action.bytes);
            written_ = 0;
            pacedWrite_ = paced_;
            writeClock_.start();
            if (!ContinueWrite())
                return;
            break;
        }
    }
    busy_ = false;
    emit Drained();
}

bool OutputRunner::ContinueWrite()
{
    for (;;) {
        const qint64 elapsedNs = writeClock_.nsecsElapsed();
        const qsizetype due =
            pacedWrite_ ? std::min<qsizetype>(writing_.size(), elapsedNs / kByteTimeNs) : writing_.size();
        if (due > written_ && transport_) {
            const quint64 clears = clears_;
            transport_->Write(writing_.sliced(written_, due - written_));
            // The link was lost on the way: this write and what followed it are void.
            if (clears_ != clears)
                return false;
        }
        written_ = std::max(written_, due);
        if (written_ == writing_.size())
            break;
        // Timers count whole milliseconds: the last stretch below one is slept, so a lone
        // acknowledgement takes its 87 us and not a timer tick.
        const qint64 toEndNs = writing_.size() * kByteTimeNs - elapsedNs;
        if (toEndNs < 1'000'000) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(toEndNs));
            continue;
        }
        const qint64 toNextNs = (written_ + 1) * kByteTimeNs - elapsedNs;
        timer_.start(std::max<int>(1, int((toNextNs + 999'999) / 1'000'000)));
        return false;
    }
    log_.Line(QStringLiteral("TX %1").arg(SimLog::Hex(writing_)));
    writing_.clear();
    return true;
}

} // namespace unitsim
