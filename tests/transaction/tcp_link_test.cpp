#include "free_tcp_port.h"
#include "link_bench.h"
#include "silent_listener.h"
#include "tcp_peer.h"
#include "unit_replies.h"

#include "frame.h"
#include "transport.h"
#include "unit_link.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr quint8 kIdentify = 7;
const QString kLoopback = QStringLiteral("127.0.0.1");

struct TriesCase
{
    int tries;
    int attempts;
};
const TriesCase kTries[] = {{15, 5}, {3, 1}, {4, 2}, {1, 1}, {0, 0}};

TEST(UnitLinkTcp, RefusedConnectionGivesUpAtOnceAfterEachAttempt)
{
    LinkTimings timings = TestTimings();
    timings.tcpConnectWait = 3000;
    UnitLink link(SerialPortResolver(), timings);
    const quint16 port = FreeTcpPort();
    for (const auto& [tries, attempts] : kTries) {
        QSignalSpy connecting(&link, &UnitLink::connecting);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, port, tries), UnitLink::kTcpClosed);
        EXPECT_EQ(connecting.count(), attempts) << "tries " << tries;
        EXPECT_LT(clock.elapsed(), timings.tcpConnectWait) << "tries " << tries;
    }
    QSignalSpy connecting(&link, &UnitLink::connecting);
    EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, 65536 + port, 15), UnitLink::kTcpClosed);
    EXPECT_EQ(connecting.count(), 0) << "a port number beyond 65535 is never tried";
}

TEST(UnitLinkTcp, UnansweredConnectionWaitsOutEachAttempt)
{
    // Long enough that a loaded machine's lag stays well below one wait.
    LinkTimings timings = TestTimings();
    timings.tcpConnectWait = 500;
    UnitLink link(SerialPortResolver(), timings);
    SilentListener silent;
    ASSERT_NE(silent.Port(), 0);
    for (const auto& [tries, attempts] : kTries) {
        QSignalSpy connecting(&link, &UnitLink::connecting);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, silent.Port(), tries),
                  UnitLink::kTcpClosed);
        EXPECT_EQ(connecting.count(), attempts) << "tries " << tries;
        EXPECT_GE(clock.elapsed(), attempts * timings.tcpConnectWait - 5) << "tries " << tries;
        EXPECT_LT(clock.elapsed(), attempts * timings.tcpConnectWait + 300) << "tries " << tries;
    }
}

TEST(UnitLinkTcp, KeepsTheSameRemoteAndReplacesAnother)
{
    UnitLink link(SerialPortResolver(), TestTimings());
    TcpPeer first;
    TcpPeer second;
    ASSERT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, first.Port(), 15), UnitLink::kTcpConnected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.Connected(); }, 2000));
    QSignalSpy connecting(&link, &UnitLink::connecting);
    EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, first.Port(), 15), UnitLink::kTcpConnected);
    EXPECT_EQ(connecting.count(), 0);
    EXPECT_EQ(first.Connections(), 1);

    EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, second.Port(), 15), UnitLink::kTcpConnected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first.Connected(); }, 2000))
        << "the old connection is closed first";
    EXPECT_EQ(second.Connections(), 1);

    EXPECT_EQ(link.TcpLink(0, 0, QString(), 0, 0), UnitLink::kTcpClosed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !second.Connected(); }, 2000));
    EXPECT_FALSE(link.Element(0, 0)->IsOpen());
}

TEST(UnitLinkTcp, TransactionOnAClosedSocketFailsUnsent)
{
    UnitLink link(SerialPortResolver(), TestTimings());
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 0), LinkFailure);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 1), LinkFailure)
        << "element 1 is not loaded";
}

TEST(UnitLinkTcp, PeerThatDropsMidWaitFailsAtOnceAndMustBeReconnected)
{
    LinkTimings timings = TestTimings();
    timings.blockReplyWait = 3000;
    LinkBench bench(Wire::Tcp, timings);
    auto& peer = static_cast<TcpPeer&>(bench.Peer());
    ASSERT_TRUE(bench.Ready());
    peer.SetScript({Block(DataReply(kIdentify).left(10))});
    peer.afterStep = [&](int) { peer.Drop(); };
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(bench.Transact(request, 1, true, reply), LinkFailure);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(bench.Ready()) << "the socket is closed after its error";

    peer.afterStep = nullptr;
    ASSERT_EQ(bench.Link().TcpLink(0, UnitLink::kTcpConnect, kLoopback, peer.Port(), 15),
              UnitLink::kTcpConnected);
    peer.SetScript({Block(DataReply(kIdentify))});
    EXPECT_EQ(bench.Transact(request, 1, true, reply), LinkOk);
}

TEST(UnitLinkTcp, CompleteReplyFollowedByCloseStillCounts)
{
    LinkBench bench(Wire::Tcp);
    auto& peer = static_cast<TcpPeer&>(bench.Peer());
    peer.SetScript({Block(DataReply(kIdentify))});
    peer.afterStep = [&](int) { peer.Drop(); };
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(bench.Transact(request, 1, true, reply), LinkOk);
}

} // namespace
