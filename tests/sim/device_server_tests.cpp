// TCP as a serial device server gives it, and the simulator in the thread of the code under test.
// Every line's bytes and timing, the device server behind socat among them, are the link tests'.
#include "request_frames.h"
#include "sim_thread.h"
#include "wire_client.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

constexpr int kReplySize = kIdentifyLength + 1;

TEST(DeviceServerTest, SecondClientWaitsUntilTheFirstHasClosed)
{
    SimThread unit;
    unit.Sim().SetFixedPayload(kIdentify, "A");
    ASSERT_TRUE(unit.ServeTcp(0));
    auto first = ConnectTcp(unit.Sim().TcpPort());
    const auto second = ConnectTcp(unit.Sim().TcpPort());
    ASSERT_TRUE(first && second);

    Send(*second, RequestFrame(kIdentify));
    EXPECT_TRUE(Read(*second, kReplySize, 300).isEmpty()) << "the unit serves one connection at a time";
    Send(*first, RequestFrame(kIdentify));
    EXPECT_EQ(Read(*first, kReplySize, 1000).size(), kReplySize);

    first.reset();
    EXPECT_EQ(Read(*second, kReplySize, 2000).size(), kReplySize) << "served once the first one left";
}

// The simulator in the test's own thread, answering while the test waits by running the event
// loop, as the server's transactions do.
TEST(InProcessTest, SameThreadSimulatorAnswersWhileTheCallerRunsTheEventLoop)
{
    UnitSimulator sim;
    QBuffer log;
    log.open(QIODevice::WriteOnly);
    sim.SetLogDevice(&log);
    sim.SetFixedPayload(kIdentify, "TELVARON-1");
    sim.SetPaced(true);
    sim.SetTurnaround(5);
    ASSERT_TRUE(sim.ServeTcp(0));
    QSignalSpy arrived(&sim, &UnitSimulator::CommandArrived);

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 2000));
    socket.write(RequestFrame(kIdentify));
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.bytesAvailable() >= kReplySize; }, 2000));
    EXPECT_EQ(socket.readAll(), IdentifyReply());
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0][0].value<quint8>(), kIdentify);
    EXPECT_EQ(arrived[0][1].toInt(), 1);

    sim.SetLogDevice(nullptr);
    const QString text = QString::fromUtf8(log.data());
    const QString stamp = QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )");
    EXPECT_TRUE(text.contains(
        QRegularExpression(stamp + QStringLiteral(R"(RX 07( 00){13} 07 \(command 7, arrival 1, block\))"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(stamp + QStringLiteral("TX FC 54 45 4C"))))
        << text.toStdString();
}

} // namespace
