#include "sim_line.h"

#include "free_tcp_port.h"
#include "transport.h"

#include <QStandardPaths>

namespace {
const QString kLocalHost = QStringLiteral("127.0.0.1");
constexpr int kTcpTries = 15;
constexpr int kSetupRounds = 40; // each a connect attempt or a prime transaction, then a short rest
constexpr int kSetupRestMs = 25;
constexpr int kPrimeRounds = 3;
} // namespace

const char* WireName(Wire wire)
{
    switch (wire) {
    case Wire::Pty:
        return "Pty";
    case Wire::Tcp:
        return "Tcp";
    case Wire::DeviceServer:
        return "DeviceServer";
    }
    return "";
}

bool WireAvailable(Wire wire)
{
    return wire != Wire::DeviceServer || !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
}

SimLine::SimLine(Wire wire, LinkTimings timings) : wire_(wire)
{
    Sim().SetFixedPayload(CmdIdentify, "TELVARON-1");
    const QString device = dir_.filePath(QStringLiteral("unit"));
    link_ = std::make_unique<UnitLink>([device](int) { return device; }, timings);
    QObject::connect(link_.get(), &UnitLink::Pausing, link_.get(), [this](int ms) { pauses_.push_back(ms); });
    if (!Serve())
        return;
    if (!Connect()) {
        problem_ = QStringLiteral("the link does not reach the unit");
        return;
    }
    if (!Answers()) {
        problem_ = QStringLiteral("the unit does not answer");
        return;
    }
    Sim().ResetArrivals();
    pauses_.clear();
}

SimLine::~SimLine()
{
    link_.reset();
    unit_.Stop();
    if (socat_.state() != QProcess::NotRunning) {
        socat_.terminate();
        socat_.waitForFinished(2000);
    }
}

LinkResult SimLine::Transact(RequestFrame& request, int dataLength, bool blockMode, ReplyBuffer& reply)
{
    return link_->DeviceTransaction(request, reply, dataLength, blockMode, LinkSerial(), 0);
}

bool SimLine::Recover()
{
    for (int round = 0; round < kSetupRounds; ++round) {
        const bool linked = wire_ == Wire::Pty ? link_->ResetSerialPort(0) : ConnectTcp(kTcpTries);
        if (linked && Answers())
            return true;
        link_->Delay(kSetupRestMs);
    }
    return false;
}

bool SimLine::Serve()
{
    const QString device = dir_.filePath(QStringLiteral("unit"));
    switch (wire_) {
    case Wire::Pty:
        if (unit_.ServePty(device))
            return true;
        break;
    case Wire::Tcp:
        if (unit_.ServeTcp(0)) {
            tcpPort_ = Sim().TcpPort();
            return true;
        }
        break;
    case Wire::DeviceServer:
        tcpPort_ = FreeTcpPort();
        socat_.start(QStringLiteral("socat"),
                     {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(tcpPort_),
                      QStringLiteral("PTY,link=%1,raw,echo=0").arg(device)});
        if (!socat_.waitForStarted(2000)) {
            problem_ = QStringLiteral("socat: ") + socat_.errorString();
            return false;
        }
        // The terminal appears only once the server has connected; the unit keeps trying to open it.
        if (unit_.ServeDevice(device))
            return true;
        break;
    }
    problem_ = Sim().ErrorString();
    return false;
}

bool SimLine::Connect()
{
    switch (wire_) {
    case Wire::Pty:
        return link_->OpenSerialPort(0, 1);
    case Wire::Tcp:
        return ConnectTcp(kTcpTries);
    case Wire::DeviceServer:
        // socat listens a moment after it starts; a refused attempt ends at once.
        for (int round = 0; round < kSetupRounds; ++round) {
            if (ConnectTcp(1))
                return true;
            link_->Delay(kSetupRestMs);
        }
        return false;
    }
    return false;
}

bool SimLine::ConnectTcp(int tries)
{
    return link_->TcpLink(0, UnitLink::kTcpConnect, kLocalHost, tcpPort_, tries) == UnitLink::kTcpConnected;
}

bool SimLine::Answers()
{
    for (int round = 0; round < kPrimeRounds; ++round) {
        RequestFrame request{CmdIdentify};
        ReplyBuffer reply{};
        if (Transact(request, 1, true, reply) == LinkOk)
            return true;
        const Transport* element = link_->Element(LinkSerial(), 0);
        if (!element || !element->IsOpen())
            return false;
    }
    return false;
}
