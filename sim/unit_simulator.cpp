#include "unit_simulator.h"

#include "sim_device_transport.h"
#include "sim_output_runner.h"
#include "sim_pty_transport.h"
#include "sim_tcp_transport.h"

namespace unitsim {

using Lock = QMutexLocker<QRecursiveMutex>;

UnitSimulator::UnitSimulator(QObject* parent) : QObject(parent), runner_(new OutputRunner(log_, this))
{
    clock_.start();
    wakeTimer_.setSingleShot(true);
    wakeTimer_.setTimerType(Qt::PreciseTimer);
    connect(&wakeTimer_, &QTimer::timeout, this,
            [this] { runProtocol([this] { return protocol_.wake(now()); }); });
    connect(runner_, &OutputRunner::drained, this, [this] {
        runProtocol([this] {
            protocol_.outputDrained(now());
            return SimActions{};
        });
    });
    // Queued: the drop tears down the transport whose signal may still be on the stack.
    connect(runner_, &OutputRunner::dropRequested, this, &UnitSimulator::dropLink, Qt::QueuedConnection);
    protocol_.setLog(&log_);
    protocol_.setArrivalHook(
        [this](quint8 command, int arrival) { arrived_.emplace_back(command, arrival); });
}

UnitSimulator::~UnitSimulator()
{
    stop();
}

bool UnitSimulator::servePty(const QString& linkPath)
{
    return serve(std::make_unique<PtyTransport>(linkPath));
}

bool UnitSimulator::serveTcp(quint16 port)
{
    auto transport = std::make_unique<TcpTransport>(port);
    TcpTransport* tcp = transport.get();
    if (!serve(std::move(transport)))
        return false;
    Lock lock(&mutex_);
    tcpPort_ = tcp->port();
    return true;
}

bool UnitSimulator::serveDevice(const QString& path)
{
    return serve(std::make_unique<DeviceTransport>(path));
}

bool UnitSimulator::serve(std::unique_ptr<SimTransport> transport)
{
    stop();
    QString error;
    if (!transport->start(&error)) {
        Lock lock(&mutex_);
        error_ = error;
        return false;
    }
    connect(transport.get(), &SimTransport::received, this, [this](const QByteArray& bytes) {
        runProtocol([&] { return protocol_.receive(bytes, now()); });
    });
    connect(transport.get(), &SimTransport::linkLost, this, [this] {
        log_.line(QStringLiteral("link lost"));
        resetLine();
    });
    transport_ = std::move(transport);
    runner_->setTransport(transport_.get());
    log_.line(QStringLiteral("serving %1").arg(transport_->describe()));
    return true;
}

void UnitSimulator::stop()
{
    if (!transport_)
        return;
    resetLine();
    runner_->setTransport(nullptr);
    transport_.reset();
    Lock lock(&mutex_);
    tcpPort_ = 0;
}

quint16 UnitSimulator::tcpPort() const
{
    Lock lock(&mutex_);
    return tcpPort_;
}

QString UnitSimulator::errorString() const
{
    Lock lock(&mutex_);
    return error_;
}

QString UnitSimulator::lineDescription() const
{
    return transport_ ? transport_->describe() : QString();
}

template <typename Step> void UnitSimulator::runProtocol(Step step)
{
    SimActions actions;
    std::vector<std::pair<quint8, int>> arrived;
    {
        Lock lock(&mutex_);
        actions = step();
        arrived.swap(arrived_);
    }
    runner_->enqueue(std::move(actions));
    {
        // The runner may have drained at once and re-armed the protocol's time-outs.
        Lock lock(&mutex_);
        if (const auto at = protocol_.wakeAt())
            wakeTimer_.start(int(std::max<qint64>(0, *at - now())));
        else
            wakeTimer_.stop();
    }
    for (const auto& [command, arrival] : arrived)
        emit commandArrived(command, arrival);
}

void UnitSimulator::dropLink(int downMs)
{
    resetLine();
    if (transport_)
        transport_->dropLink(downMs);
}

void UnitSimulator::resetLine()
{
    runner_->clear();
    wakeTimer_.stop();
    Lock lock(&mutex_);
    protocol_.reset();
}

void UnitSimulator::setRawInput(RawInput* input)
{
    Lock lock(&mutex_);
    protocol_.setRawInput(input);
}

void UnitSimulator::setHandler(quint8 command, CommandHandler handler)
{
    Lock lock(&mutex_);
    protocol_.setHandler(command, std::move(handler));
}

void UnitSimulator::setFixedPayload(quint8 command, const QByteArray& payload)
{
    setHandler(command, [payload](const QByteArray&) { return CommandAnswer::data(payload); });
}

void UnitSimulator::removeHandler(quint8 command)
{
    Lock lock(&mutex_);
    protocol_.removeHandler(command);
}

void UnitSimulator::setFault(quint8 command, int arrival, const Fault& fault)
{
    Lock lock(&mutex_);
    protocol_.faults().set(command, arrival, fault);
}

void UnitSimulator::clearFaults()
{
    Lock lock(&mutex_);
    protocol_.faults().clear();
}

int UnitSimulator::arrivals(quint8 command) const
{
    Lock lock(&mutex_);
    return protocol_.arrivals(command);
}

void UnitSimulator::resetArrivals()
{
    Lock lock(&mutex_);
    protocol_.resetArrivals();
}

void UnitSimulator::setHandshakePolicy(quint8 command, HandshakePolicy policy)
{
    Lock lock(&mutex_);
    protocol_.setHandshakePolicy(command, policy);
}

void UnitSimulator::setDefaultHandshakePolicy(HandshakePolicy policy)
{
    Lock lock(&mutex_);
    protocol_.setDefaultHandshakePolicy(policy);
}

void UnitSimulator::setBareStatus(bool bare)
{
    Lock lock(&mutex_);
    protocol_.settings.bareStatus = bare;
}

void UnitSimulator::setPaced(bool paced)
{
    runner_->setPaced(paced);
}

void UnitSimulator::setTurnaround(int ms)
{
    Lock lock(&mutex_);
    protocol_.settings.turnaroundMs = ms;
}

void UnitSimulator::setLogDevice(QIODevice* device)
{
    log_.setDevice(device);
}

} // namespace unitsim
