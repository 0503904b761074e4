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
            [this] { RunProtocol([this] { return protocol_.Wake(Now()); }); });
    connect(runner_, &OutputRunner::Drained, this, [this] {
        RunProtocol([this] {
            protocol_.OutputDrained(Now());
            return SimActions{};
        });
    });
    // Queued: the drop tears down the transport whose signal may still be on the stack.
    connect(runner_, &OutputRunner::DropRequested, this, &UnitSimulator::DropLink, Qt::QueuedConnection);
    protocol_.SetLog(&log_);
    protocol_.SetArrivalHook(
        [this](quint8 command, int arrival) { arrived_.emplace_back(command, arrival); });
}

UnitSimulator::~UnitSimulator()
{
    Stop();
}

bool UnitSimulator::ServePty(const QString& linkPath)
{
    return Serve(std::make_unique<PtyTransport>(linkPath));
}

bool UnitSimulator::ServeTcp(quint16 port)
{
    auto transport = std::make_unique<TcpTransport>(port);
    TcpTransport* tcp = transport.get();
    if (!Serve(std::move(transport)))
        return false;
    Lock lock(&mutex_);
    tcpPort_ = tcp->Port();
    return true;
}

bool UnitSimulator::ServeDevice(const QString& path)
{
    return Serve(std::make_unique<DeviceTransport>(path));
}

bool UnitSimulator::Serve(std::unique_ptr<SimTransport> transport)
{
    Stop();
    QString error;
    if (!transport->Start(&error)) {
        Lock lock(&mutex_);
        error_ = error;
        return false;
    }
    connect(transport.get(), &SimTransport::Received, this, [this](const QByteArray& bytes) {
        RunProtocol([&] { return protocol_.Receive(bytes, Now()); });
    });
    connect(transport.get(), &SimTransport::LinkLost, this, [this] {
        log_.Line(QStringLiteral("link lost"));
        ResetLine();
    });
    transport_ = std::move(transport);
    runner_->SetTransport(transport_.get());
    log_.Line(QStringLiteral("serving %1").arg(transport_->Describe()));
    return true;
}

void UnitSimulator::Stop()
{
    if (!transport_)
        return;
    ResetLine();
    runner_->SetTransport(nullptr);
    transport_.reset();
    Lock lock(&mutex_);
    tcpPort_ = 0;
}

quint16 UnitSimulator::TcpPort() const
{
    Lock lock(&mutex_);
    return tcpPort_;
}

QString UnitSimulator::ErrorString() const
{
    Lock lock(&mutex_);
    return error_;
}

QString UnitSimulator::LineDescription() const
{
    return transport_ ? transport_->Describe() : QString();
}

template <typename Step> void UnitSimulator::RunProtocol(Step step)
{
    SimActions actions;
    std::vector<std::pair<quint8, int>> arrived;
    {
        Lock lock(&mutex_);
        actions = step();
        arrived.swap(arrived_);
    }
    runner_->Enqueue(std::move(actions));
    {
        // The runner may have drained at once and re-armed the protocol's time-outs.
        Lock lock(&mutex_);
        if (const auto at = protocol_.WakeAt())
            wakeTimer_.start(int(std::max<qint64>(0, *at - Now())));
        else
            wakeTimer_.stop();
    }
    for (const auto& [command, arrival] : arrived)
        emit CommandArrived(command, arrival);
}

void UnitSimulator::DropLink(int downMs)
{
    ResetLine();
    if (transport_)
        transport_->DropLink(downMs);
}

void UnitSimulator::ResetLine()
{
    runner_->Clear();
    wakeTimer_.stop();
    Lock lock(&mutex_);
    protocol_.Reset();
}

void UnitSimulator::SetRawInput(RawInput* input)
{
    Lock lock(&mutex_);
    protocol_.SetRawInput(input);
}

void UnitSimulator::SetHandler(quint8 command, CommandHandler handler)
{
    Lock lock(&mutex_);
    protocol_.SetHandler(command, std::move(handler));
}

void UnitSimulator::SetFixedPayload(quint8 command, const QByteArray& payload)
{
    SetHandler(command, [payload](const QByteArray&) { return CommandAnswer::Data(payload); });
}

void UnitSimulator::RemoveHandler(quint8 command)
{
    Lock lock(&mutex_);
    protocol_.RemoveHandler(command);
}

void UnitSimulator::SetFault(quint8 command, int arrival, const Fault& fault)
{
    Lock lock(&mutex_);
    protocol_.Faults().Set(command, arrival, fault);
}

void UnitSimulator::ClearFaults()
{
    Lock lock(&mutex_);
    protocol_.Faults().Clear();
}

int UnitSimulator::Arrivals(quint8 command) const
{
    Lock lock(&mutex_);
    return protocol_.Arrivals(command);
}

void UnitSimulator::ResetArrivals()
{
    Lock lock(&mutex_);
    protocol_.ResetArrivals();
}

void UnitSimulator::SetHandshakePolicy(quint8 command, HandshakePolicy policy)
{
    Lock lock(&mutex_);
    protocol_.SetHandshakePolicy(command, policy);
}

void UnitSimulator::SetDefaultHandshakePolicy(HandshakePolicy policy)
{
    Lock lock(&mutex_);
    protocol_.SetDefaultHandshakePolicy(policy);
}

void UnitSimulator::SetBareStatus(bool bare)
{
    Lock lock(&mutex_);
    protocol_.settings.bareStatus = bare;
}

void UnitSimulator::SetPaced(bool paced)
{
    runner_->SetPaced(paced);
}

void UnitSimulator::SetTurnaround(int ms)
{
    Lock lock(&mutex_);
    protocol_.settings.turnaroundMs = ms;
}

void UnitSimulator::SetLogDevice(QIODevice* device)
{
    log_.SetDevice(device);
}

} // namespace unitsim
