// The link against bare units, for what the simulated unit cannot show: replies on another unit's
// port, a reply that came while the server was busy, a close right after a reply, connection
// attempts, and which device a COM number opens.
#include "free_tcp_port.h"
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

TEST(UnitLinkSerial, ReplyOnAnotherUnitsPortIsNotTakenAndIsStaleByItsOwnTurn)
{
    PtyUnit first;
    PtyUnit second;
    UnitLink link([&](int comPort) { return comPort == 1 ? first.Path() : second.Path(); },
                  ShortLinkTimings());
    ASSERT_TRUE(link.OpenSerialPort(0, 1));
    ASSERT_TRUE(link.OpenSerialPort(1, 2));
    // The second unit is silent; the first one answers each of its requests.
    second.afterAnswer = [&] { first.Send(DataReply(CmdIdentify)); };
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply;
    reply.fill(kSentinel);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 1), LinkNoAnswer);
    EXPECT_EQ(second.Requests(), 3);
    EXPECT_EQ(reply[0], kSentinel);

    first.answer = DataReply(CmdIdentify, 4);
    ASSERT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkOk);
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(first.Requests(), 1);
}

TEST(UnitLinkSerial, ReplyThatCameWhileTheServerWasBusyCounts)
{
    PtyUnit unit;
    const LinkTimings timings = ShortLinkTimings();
    unit.answer = DataReply(CmdIdentify);
    // The unit shares the link's thread: the reply is in, but the wait is over before it is read.
    unit.afterAnswer = [&] { QThread::msleep(timings.blockReplyWait + 100); };
    UnitLink link([&](int) { return unit.Path(); }, timings);
    ASSERT_TRUE(link.OpenSerialPort(0, 1));
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkOk);
    EXPECT_EQ(unit.Requests(), 1);
}

TEST(UnitLinkSerial, ElementsOpenByComNumberAndCloseAll)
{
    PtyUnit unit;
    PtyUnit other;
    unit.answer = DataReply(CmdIdentify);
    std::vector<int> asked;
    UnitLink link(
        [&](int comPort) {
            asked.push_back(comPort);
            return comPort == 5   ? unit.Path()
                   : comPort == 7 ? other.Path()
                                  : QStringLiteral("/nonexistent/ttyS99");
        },
        ShortLinkTimings());
    EXPECT_TRUE(link.OpenSerialPort(2, 5));
    EXPECT_FALSE(link.OpenSerialPort(0, 6));
    EXPECT_EQ(link.Element(1, 1), nullptr) << "only the elements asked for are loaded";
    EXPECT_FALSE(link.ResetSerialPort(0));
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkFailure);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkOk);
    EXPECT_TRUE(link.OpenSerialPort(0, 7));
    EXPECT_EQ(asked, (std::vector<int>{5, 6, 7}));

    EXPECT_TRUE(link.CloseAll());
    ASSERT_NE(link.Element(1, 0), nullptr);
    EXPECT_FALSE(link.Element(1, 0)->IsOpen());
    EXPECT_EQ(link.Element(1, 2), nullptr);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkFailure);
}

TEST(UnitLinkSerial, PathComesFromTheStoreOrTheDefaultDevice)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("store.conf")), QSettings::IniFormat);
    store.setValue(QStringLiteral("SerialPorts/COM3"), QStringLiteral("/dev/ttyUSB0"));
    store.setValue(QStringLiteral("SerialPorts/COM4"), QString());
    const std::pair<int, const char*> cases[] = {
        {1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {16, "/dev/ttyS15"}};
    for (const auto& [comPort, path] : cases)
        EXPECT_EQ(SerialPortPath(comPort, store), QString::fromLatin1(path)) << comPort;
}

TEST(UnitLinkSerial, ResolverReadsThePerUserStoreEachTime)
{
    // The per-user store is redirected into a temporary folder: the user's own settings stay untouched.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString title = QStringLiteral("Link Test Store");
    const SerialPortResolver resolve = SettingsSerialPorts(title);
    EXPECT_EQ(resolve(2), QStringLiteral("/dev/ttyS1"));
    QSettings(QSettings::NativeFormat, QSettings::UserScope, title, title)
        .setValue(QStringLiteral("SerialPorts/COM2"), QStringLiteral("/dev/pts/9"));
    EXPECT_EQ(resolve(2), QStringLiteral("/dev/pts/9"));
    EXPECT_TRUE(QFile::exists(dir.filePath(title + QStringLiteral("/") + title + QStringLiteral(".conf"))));
}

// Connection tries and the attempts they make: one attempt per three tries begun.
const std::pair<int, int> kTries[] = {{15, 5}, {3, 1}, {4, 2}, {1, 1}, {0, 0}};

TEST(UnitLinkTcp, RefusedConnectionGivesUpAtOnceAfterEachAttempt)
{
    LinkTimings timings = ShortLinkTimings();
    timings.tcpConnectWait = 3000;
    UnitLink link(SerialPortResolver(), timings);
    const quint16 port = FreeTcpPort();
    for (const auto& [tries, attempts] : kTries) {
        QSignalSpy connecting(&link, &UnitLink::Connecting);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, port, tries), UnitLink::kTcpClosed);
        EXPECT_EQ(connecting.count(), attempts) << "tries " << tries;
        EXPECT_LT(clock.elapsed(), timings.tcpConnectWait) << "tries " << tries;
    }
    QSignalSpy connecting(&link, &UnitLink::Connecting);
    EXPECT_EQ(link.TcpLink(0, UnitLink::kTcpConnect, kLoopback, 65536 + port, 15), UnitLink::kTcpClosed);
    EXPECT_EQ(connecting.count(), 0) << "a port number beyond 65535 is never tried";
}

TEST(UnitLinkTcp, UnansweredConnectionWaitsOutEachAttempt)
{
    // Long enough that a loaded machine's lag stays well below one wait.
    LinkTimings timings = ShortLinkTimings();
    timings.tcpConnectWait = 500;
    UnitLink link(SerialPortResolver(), timings);
    SilentListener silent;
    ASSERT_NE(silent.Port(), 0);
    for (const auto& [tries, attempts] : kTries) {
        QSignalSpy connecting(&link, &UnitLink::Connecting);
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
    UnitLink link(SerialPortResolver(), ShortLinkTimings());
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

TEST(UnitLinkTcp, TransactionOnAClosedSocketFailsUnsent)
{
    UnitLink link(SerialPortResolver(), ShortLinkTimings());
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 0), LinkFailure);
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 0, 1), LinkFailure)
        << "element 1 is not loaded";
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
