#pragma once

#include "sim_action.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <deque>

namespace unitsim {

class SimLog;
class SimTransport;

// Performs the unit's actions in order on the transport. Waits run on a timer, so the thread's
// event loop keeps going. Paced writes release each byte only when a 115200 baud line would have
// finished sending it; only their last stretch under a millisecond is slept.
class OutputRunner : public QObject
{
    Q_OBJECT
public:
    explicit OutputRunner(SimLog& log, QObject* parent = nullptr);

    void SetTransport(SimTransport* transport) { transport_ = transport; }
    // Safe from any thread; takes effect at the next write.
    void SetPaced(bool paced) { paced_ = paced; }
    void Enqueue(SimActions actions);
    // Forgets everything not yet written.
    void Clear();

signals:
    void Drained();
    void DropRequested(int downMs);

private:
    void RunNext();
    // Writes what is due of the write in progress; true when it is complete, false while the rest
    // waits for its time or when the line was reset under it.
    bool ContinueWrite();

    SimLog& log_;
    SimTransport* transport_ = nullptr;
    std::atomic<bool> paced_ = false;
    std::deque<SimAction> queue_;
    QTimer timer_{this};
    bool busy_ = false;
    // Counts Clear() calls: a transport that loses its link resets the line from inside Write.
    quint64 clears_ = 0;
    // The write in progress.
    QByteArray writing_;
    qsizetype written_ = 0;
    bool pacedWrite_ = false;
    QElapsedTimer writeClock_;
};

} // namespace unitsim
