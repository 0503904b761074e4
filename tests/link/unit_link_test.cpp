// The link against bare units, for what the simulated unit cannot show: replies on another unit's
// port, a reply that came while the server was busy, a close right after a reply, connection
// attempts, and which device a COM number opens.
#include "held_tcp_port.h"
#include "peer_unit.h"
#include "short_link_timings.h"

#include "serial_port_path.h"
#include "transport.h"
#include "unit_command.h"
#include "unit_link.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr quint8 kSentinel = 0xAA;
const QString kLoopback = QStringLiteral("127.0.0.1");

TEST(UnitLinkSerial, ElementsByComNumberAndRepliesOnlyInTheirOwnTurn)
{
    PtyUnit first;
    PtyUnit second;
    std::vector<int> asked;
    UnitLink link(
        [&](int comPort) {
            asked.push_back(comPort);
            return comPort == 5   ? first.Path()
                   : comPort == 7 ? second.Path()
                                  : QStringLiteral("/nonexistent/ttyS99");
        },
        ShortLinkTimings());
    EXPECT_TRUE(link.OpenSerialPort(2, 5));
    EXPECT_FALSE(link.OpenSerialPort(0, 6));
    EXPECT_EQ(link.Element(1, 1), nullptr) << "only the elements asked for are loaded";
    EXPECT_FALSE(link.ResetSerialPort(0));
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply;
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkFailure);
    EXPECT_TRUE(link.OpenSerialPort(0, 7));
    EXPECT_EQ(asked, (std::vector<int>{5, 6, 7}));

    // The second unit is silent; the first one answers each of its requests: that reply is not taken,
    // and is stale by the first unit's own turn.
    second.afterAnswer = [&] { first.Send(DataReply(CmdIdentify)); };
    reply.fill(kSentinel);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkNoAnswer);
    EXPECT_EQ(second.Requests(), 3);
    EXPECT_EQ(reply[0], kSentinel);
    first.answer = DataReply(CmdIdentify, 4);
    ASSERT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkOk);
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(first.Requests(), 1);

    // A reply that came while the server was busy counts. The unit shares the link's thread: the
    // reply is in, but the wait is over before it is read.
    first.afterAnswer = [&] { QThread::msleep(ShortLinkTimings().blockReplyWait + 100); };
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkOk);
    EXPECT_EQ(first.Requests(), 2);

    EXPECT_TRUE(link.CloseAll());
    ASSERT_NE(link.Element(1, 0), nullptr);
    EXPECT_FALSE(link.Element(1, 0)->IsOpen());
    EXPECT_EQ(link.Element(1, 2), nullptr);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkFailure);
}

TEST(UnitLinkSerial, PathComesFromThePerUserStoreOrTheDefaultDevice)
{
    // The per-user store is redirected into a temporary folder: the user's own settings stay untouched.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString title = QStringLiteral("Link Test Store");
    const SerialPortResolver resolve = SettingsSerialPorts(title);
    EXPECT_EQ(resolve(2), QStringLiteral("/dev/ttyS1"));
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, title, title);
    store.setValue(QStringLiteral("SerialPorts/COM3"), QStringLiteral("/dev/ttyUSB0"));
    store.setValue(QStringLiteral("SerialPorts/COM4"), QString());
    store.sync();
    const std::pair<int, const char*> cases[] = {
        {1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {16, "/dev/ttyS15"}};
    for (const auto& [comPort, path] : cases)
        EXPECT_EQ(resolve(comPort), QString::fromLatin1(path)) << comPort;
    EXPECT_TRUE(QFile::exists(dir.filePath(title + QStringLiteral("/") + title + QStringLiteral(".conf"))));
}

TEST(UnitLinkTcp, RefusedAttemptsGiveUpAtOnceAndUnansweredOnesWaitOut)
{
    // Connection tries and the attempts they make: one attempt per three tries begun.
    const std::pair<int, int> kTries[] = {{15, 5}, {3, 1}, {4, 2}, {1, 1}, {0, 0}};
    SilentListener silent;
    ASSERT_NE(silent.Port(), 0);
    const HeldTcpPort refusing;
    for (const bool unanswered : {false, true}) {
        // An unanswered wait is long enough that a loaded machine's lag stays well below it.
        LinkTimings timings = ShortLinkTimings();
        timings.tcpConnectWait = unanswered ? 500 : 3000;
        UnitLink link(SerialPortResolver(), timings);
        const quint16 port = unanswered ? silent.Port() : refusing.Port();
        for (const auto& [tries, attempts] : kTries) {
            SCOPED_TRACE(::testing::Message()
                         << "tries " << tries << (unanswered ? " unanswered" : " refused"));
            QSignalSpy connecting(&link, &UnitLink::Connecting);
            QElapsedTimer clock;
            clock.start();
            EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, port, tries), UnitLink::kTcpClosed);
            EXPECT_EQ(connecting.count(), attempts);
            const qint64 waited = unanswered ? attempts * timings.tcpConnectWait : 0;
            EXPECT_GE(clock.elapsed(), waited - 5);
            EXPECT_LT(clock.elapsed(), unanswered ? waited + 300 : timings.tcpConnectWait);
        }
        QSignalSpy connecting(&link, &UnitLink::Connecting);
        EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, 65536 + port, 15), UnitLink::kTcpClosed);
        EXPECT_EQ(connecting.count(), 0) << "a port number beyond 65535 is never tried";
    }
}

TEST(UnitLinkTcp, KeepsTheSameRemoteAndReplacesAnother)
{
    UnitLink link(SerialPortResolver(), ShortLinkTimings());
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 0), LinkFailure) << "not yet connected";
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 1), LinkFailure)
        << "element 1 is not loaded";
    TcpUnit first;
    TcpUnit second;
    ASSERT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, first.Port(), 15), UnitLink::kTcpConnected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.Connected(); }, 2000));
    QSignalSpy connecting(&link, &UnitLink::Connecting);
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

TEST(UnitLinkTcp, CompleteReplyFollowedByCloseStillCounts)
{
    UnitLink link(SerialPortResolver(), ShortLinkTimings());
    TcpUnit unit;
    unit.answer = DataReply(CmdIdentify, 6);
    unit.afterAnswer = [&] { unit.Drop(); };
    ASSERT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, unit.Port(), 15), UnitLink::kTcpConnected);
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 0), LinkOk);
    EXPECT_EQ(reply[0], 6);
}

} // namespace
