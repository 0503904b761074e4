#include "sim_line.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
const QString kLocalHost = QStringLiteral("127.0.0.1");
constexpr int kSetupRounds = 40; // each a link attempt and a transaction, then a short rest
constexpr int kSetupRestMs = 25;

// The port of socat's notice "listening on AF=2 127.0.0.1:PORT"; 0 when none comes within seconds.
quint16 ListeningPort(QProcess& socat)
{
    static const QRegularExpression kListening(QStringLiteral("listening on AF=2 127\\.0\\.0\\.1:(\\d+)"));
    socat.setReadChannel(QProcess::StandardError);
    QByteArray told;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && socat.waitForReadyRead(int(deadline.remainingTime()))) {
        told += socat.readAll();
        if (const QRegularExpressionMatch match = kListening.match(QString::fromLatin1(told));
            match.hasMatch())
            return quint16(match.captured(1).toUInt());
    }
    return 0;
}
} // namespace

const char* WireName(Wire wire)
{
    return wire == Wire::Pty ? "Pty" : wire == Wire::Tcp ? "Tcp" : "DeviceServer";
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
    if (wire == Wire::DeviceServer) {
        // The device server takes a port of the system's choosing and names it: a port probed free
        // and bound later could meanwhile go to another test's listener, which would then answer.
        socat_.start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("-d"),
                                               QStringLiteral("TCP-LISTEN:0,bind=127.0.0.1,reuseaddr"),
                                               QStringLiteral("PTY,link=%1,raw,echo=0").arg(device)});
        tcpPort_ = ListeningPort(socat_);
        if (tcpPort_ == 0) {
            problem_ = QStringLiteral("socat: no port listened on ") + socat_.errorString();
            return;
        }
    }
    // Behind the device server the terminal appears only once the server has connected; the unit
    // keeps trying to open it.
    const bool serving = wire == Wire::Pty   ? unit_.ServePty(device)
                         : wire == Wire::Tcp ? unit_.ServeTcp(0)
                                             : unit_.ServeDevice(device);
    if (!serving) {
        problem_ = Sim().ErrorString();
        return;
    }
    if (wire == Wire::Tcp)
        tcpPort_ = Sim().TcpPort();
    if (!Relink(false)) {
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

bool SimLine::Relink(bool reset)
{
    // A TCP listener takes connections a moment after it starts; a refused attempt ends at once.
    for (int round = 0; round < kSetupRounds; ++round) {
        const bool linked = wire_ != Wire::Pty ? link_->TcpLink(0, UnitLink::kTcpConnect, kLocalHost,
                                                                tcpPort_, 1) == UnitLink::kTcpConnected
                            : reset            ? link_->ResetSerialPort(0)
                                               : link_->OpenSerialPort(0, 1);
        RequestFrame request{CmdIdentify};
        ReplyBuffer reply{};
        if (linked && Transact(request, 1, true, reply) == LinkOk)
            return true;
        link_->Delay(kSetupRestMs);
    }
    return false;
}
