#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT as events of the main loop. The handler only writes a byte to a
// socket pair; the loop reads it. The first signal ends the program the way the exit does when
// nobody is asked; any further one, while that end is still under way, ends it at once.
// One object at a time; it restores the signals' former handling when it goes.
class TerminationSignals : public QObject
{
public:
    TerminationSignals(std::function<void()> endUnasked, std::function<void()> endNow,
                       QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void Arrived();

    std::function<void()> endUnasked_;
    std::function<void()> endNow_;
    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};
