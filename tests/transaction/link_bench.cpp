#include "link_bench.h"

#include "pty_peer.h"
#include "tcp_peer.h"
#include "transport.h"

LinkTimings TestTimings()
{
    LinkTimings timings;
    timings.blockReplyWait = 100;
    timings.blockLogPageReplyWait = 400;
    timings.handshakeWait = 110;
    timings.handshakeLogPageReplyWait = 450;
    timings.blockPause = 40;
    timings.handshakePause = 60;
    timings.tcpConnectWait = 200;
    return timings;
}

LinkBench::LinkBench(Wire wire, LinkTimings timings) : wire_(wire)
{
    if (wire == Wire::Serial) {
        auto pty = std::make_unique<PtyPeer>();
        const QString path = pty->DevicePath();
        peer_ = std::move(pty);
        link_ = std::make_unique<UnitLink>([path](int) { return path; }, timings);
        link_->OpenSerialPort(0, 1);
    } else {
        auto tcp = std::make_unique<TcpPeer>();
        const quint16 port = tcp->Port();
        peer_ = std::move(tcp);
        link_ = std::make_unique<UnitLink>(SerialPortResolver(), timings);
        link_->TcpLink(0, UnitLink::kTcpConnect, QStringLiteral("127.0.0.1"), port, 15);
    }
    QObject::connect(link_.get(), &UnitLink::pausing, link_.get(), [this](int ms) { pauses_.push_back(ms); });
}

LinkBench::~LinkBench() = default;

bool LinkBench::Ready() const
{
    const Transport* element = link_->Element(LinkSerial(), 0);
    return element && element->IsOpen();
}

LinkResult LinkBench::Transact(RequestFrame& request, int dataLength, bool blockMode, ReplyBuffer& reply)
{
    return link_->DeviceTransaction(request, reply, dataLength, blockMode, LinkSerial(), 0);
}

const char* WireName(Wire wire)
{
    return wire == Wire::Serial ? "Serial" : "Tcp";
}
