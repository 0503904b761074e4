#include "event_wait.h"

#include <QCoreApplication>
#include <QTimer>

bool WaitUntil(int milliseconds, const std::function<bool()>& done)
{
    // The timer only wakes the pump at the deadline; nobody needs its signal.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(qMax(0, milliseconds));
    while (!done() && wake.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (done())
        return true;
    PumpEventsOnce();
    return done();
}

void PumpEventsOnce()
{
    QCoreApplication::processEvents();
}
