// TCP as a serial device server gives it, the simulator behind socat, and the simulator in the
// thread of the code under test.
#include "free_tcp_port.h"
#include "request_frames.h"
#include "sim_thread.h"
#include "wire_client.h"

#include <QBuffer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

constexpr quint8 kIdentify = 7;
constexpr int kReplySize = 35;

TEST(DeviceServerTest, SecondClientWaitsUntilTheFirstHasClosed)
{
    SimThread unit;
    unit.sim().setFixedPayload(kIdentify, "A");
    ASSERT_TRUE(unit.serveTcp(0));
    auto first = std::make_unique<TcpClient>(unit.sim().tcpPort());
    TcpClient second(unit.sim().tcpPort());
    ASSERT_TRUE(first->isConnected());

    second.send(requestFrame(kIdentify));
    EXPECT_TRUE(second.read(kReplySize, 300).isEmpty()) << "the unit serves one connection at a time";
    first->send(requestFrame(kIdentify));
    EXPECT_EQ(first->read(kReplySize, 1000).size(), kReplySize);

    first.reset();
    EXPECT_EQ(second.read(kReplySize, 2000).size(), kReplySize) << "served once the first one left";
}

TEST(DeviceServerTest, UnitBehindSocatAnswersThroughTheDeviceServer)
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        GTEST_SKIP() << "socat is not installed";
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("socat-pty"));
    const quint16 port = FreeTcpPort();
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                                          QStringLiteral("PTY,link=%1,raw,echo=0").arg(link)});
    ASSERT_TRUE(socat.waitForStarted(2000));

    SimThread unit;
    unit.sim().setFixedPayload(kIdentify, "TELVARON-1");
    ASSERT_TRUE(unit.serveDevice(link));

    // socat listens a moment after it starts, and makes its pseudo-terminal on the connection.
    std::unique_ptr<TcpClient> client;
    for (int i = 0; i < 40 && !(client && client->isConnected()); ++i) {
        QTest::qWait(50);
        client = std::make_unique<TcpClient>(port);
    }
    ASSERT_TRUE(client && client->isConnected());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 2000));

    client->send(requestFrame(kIdentify));
    const QByteArray reply = client->read(kReplySize, 2000);
    ASSERT_EQ(reply.size(), kReplySize);
    EXPECT_EQ(quint8(reply[0]), 0xFC);
    EXPECT_EQ(reply.sliced(1, 10), QByteArray("TELVARON-1"));
    EXPECT_EQ(reply.back(), char(xorBytes(reply.sliced(1, kReplySize - 2))));

    QByteArray bad = requestFrame(kIdentify);
    bad[3] = '\x01';
    client->send(bad);
    EXPECT_EQ(quint8(client->read(kReplySize, 2000).at(0)), 0xFB);

    client.reset();
    socat.terminate();
    socat.waitForFinished(2000);
}

// The simulator in the test's own thread, answering while the test waits by running the event
// loop, as the server's transactions do.
TEST(InProcessTest, SameThreadSimulatorAnswersWhileTheCallerRunsTheEventLoop)
{
    UnitSimulator sim;
    QBuffer log;
    log.open(QIODevice::WriteOnly);
    sim.setLogDevice(&log);
    sim.setFixedPayload(kIdentify, "TELVARON-1");
    sim.setPaced(true);
    sim.setTurnaround(5);
    ASSERT_TRUE(sim.serveTcp(0));
    QSignalSpy arrived(&sim, &UnitSimulator::commandArrived);

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.tcpPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 2000));
    socket.write(requestFrame(kIdentify));
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.bytesAvailable() >= kReplySize; }, 2000));
    EXPECT_EQ(quint8(socket.readAll().at(0)), 0xFC);
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0][0].value<quint8>(), kIdentify);
    EXPECT_EQ(arrived[0][1].toInt(), 1);

    sim.setLogDevice(nullptr);
    const QString text = QString::fromUtf8(log.data());
    const QString stamp = QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )");
    EXPECT_TRUE(text.contains(
        QRegularExpression(stamp + QStringLiteral(R"(RX 07( 00){13} 07 \(command 7, arrival 1, block\))"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(stamp + QStringLiteral("TX FC 54 45 4C"))))
        << text.toStdString();
}

} // namespace
