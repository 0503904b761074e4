#include "termination_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

int pipeEnds[2] = {-1, -1};
std::array<struct sigaction, kSignals.size()> formerActions{};

void OnSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a signal the loop has yet to read: this one adds nothing.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(std::function<void()> endUnasked, std::function<void()> endNow,
                                       QObject* parent)
    : QObject(parent), endUnasked_(std::move(endUnasked)), endNow_(std::move(endNow))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        // Without the pipe the signals keep their usual effect: the program ends at once.
        qWarning("termination signals: no socket pair, errno %d", errno);
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Arrived);
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &formerActions[i]);
        // A signal that the starter chose to ignore stays ignored (nohup ignores the hang-up).
        if (formerActions[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &formerActions[i], nullptr);
    delete notifier_;
    for (int& end : pipeEnds) {
        ::close(end);
        end = -1;
    }
}

void TerminationSignals::Arrived()
{
    char bytes[16];
    ssize_t n = 0;
    int arrived = 0;
    while ((n = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0)
        arrived += int(n);
    if (arrived == 0)
        return;
    const bool first = received_ == 0;
    received_ += arrived;
    if (first)
        endUnasked_();
    if (received_ > 1)
        endNow_();
}
