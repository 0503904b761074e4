#include "link_bench.h"
#include "pty_peer.h"
#include "unit_replies.h"

#include "frame.h"
#include "serial_port_path.h"
#include "transport.h"
#include "unit_link.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr quint8 kIdentify = 7;

class UnitLinkWire : public testing::TestWithParam<Wire>
{
};

TEST_P(UnitLinkWire, CommandWithoutReplyLengthIsRefusedUnsent)
{
    LinkBench bench(GetParam());
    ASSERT_TRUE(bench.Ready());
    QSignalSpy unsupported(&bench.Link(), &UnitLink::unsupportedCommand);
    for (quint8 code : {0, 26, 31, 33, 255}) {
        for (bool blockMode : {true, false}) {
            RequestFrame request{code};
            ReplyBuffer reply{};
            EXPECT_EQ(bench.Transact(request, 1, blockMode, reply), LinkFailure) << int(code);
        }
    }
    bench.Link().Delay(20);
    EXPECT_TRUE(bench.Peer().Received().isEmpty());
    ASSERT_EQ(unsupported.count(), 10);
    EXPECT_EQ(unsupported.at(2).at(0).value<quint8>(), 26);
}

TEST_P(UnitLinkWire, NestedLinkUseIsRefusedWhileATransactionWaits)
{
    LinkBench bench(GetParam());
    UnitLink& link = bench.Link();
    std::vector<int> nested;
    bench.Peer().afterStep = [&](int) {
        RequestFrame request{kIdentify};
        ReplyBuffer reply{};
        nested = {link.DeviceTransaction(request, reply, 1, true, bench.LinkSerial(), 0),
                  link.TcpLink(0, UnitLink::kTcpConnect, QStringLiteral("127.0.0.1"), 1, 15),
                  link.ResetSerialPort(0), link.CloseAll(), link.OpenSerialPort(1, 1)};
    };
    bench.Peer().SetScript({Block(DataReply(kIdentify), 30)});
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(bench.Transact(request, 1, true, reply), LinkOk);
    EXPECT_EQ(nested, (std::vector<int>{LinkFailure, UnitLink::kTcpClosed, false, false, false}));
    EXPECT_EQ(bench.Peer().Received().size(), 15) << "the nested transaction sent nothing";
    EXPECT_TRUE(bench.Ready());
}

TEST_P(UnitLinkWire, DefaultTimingsServeANormalExchange)
{
    LinkBench bench(GetParam(), LinkTimings{});
    ASSERT_TRUE(bench.Ready());
    bench.Peer().SetScript(Join({{Block(DataReply(kIdentify))}, HandshakeAccepted(DataReply(kIdentify, 2))}));
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(bench.Transact(request, 1, true, reply), LinkOk);
    EXPECT_EQ(bench.Transact(request, 1, false, reply), LinkOk);
    EXPECT_EQ(reply[0], 2);
    EXPECT_LT(clock.elapsed(), 1000);
}

INSTANTIATE_TEST_SUITE_P(, UnitLinkWire, testing::Values(Wire::Serial, Wire::Tcp),
                         [](const auto& info) { return std::string(WireName(info.param)); });

TEST(UnitLinkSerialPorts, OpenResolvesTheComNumber)
{
    PtyPeer unit;
    std::vector<int> asked;
    UnitLink link(
        [&](int comPort) {
            asked.push_back(comPort);
            return comPort == 5 ? unit.DevicePath() : QStringLiteral("/nonexistent/ttyS99");
        },
        TestTimings());
    EXPECT_TRUE(link.OpenSerialPort(2, 5));
    EXPECT_FALSE(link.OpenSerialPort(0, 6));
    EXPECT_EQ(asked, (std::vector<int>{5, 6}));
    EXPECT_EQ(link.Element(1, 1), nullptr) << "only the elements asked for are loaded";
    EXPECT_FALSE(link.ResetSerialPort(0));

    RequestFrame request{kIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkFailure);
    unit.SetScript({Block(DataReply(kIdentify))});
    EXPECT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 2), LinkOk);
}

TEST(UnitLinkSerialPorts, PathComesFromTheStoreOrTheDefaultDevice)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("store.conf")), QSettings::IniFormat);
    store.setValue(QStringLiteral("SerialPorts/COM3"), QStringLiteral("/dev/ttyUSB0"));
    store.setValue(QStringLiteral("SerialPorts/COM4"), QString());
    const struct
    {
        int comPort;
        const char* path;
    } cases[] = {{1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {16, "/dev/ttyS15"}};
    for (const auto& c : cases)
        EXPECT_EQ(SerialPortPath(c.comPort, store), QString::fromLatin1(c.path)) << c.comPort;
}

TEST(UnitLinkSerialPorts, ResolverReadsThePerUserStoreEachTime)
{
    // The per-user store is redirected into a temporary folder: the user's own settings stay untouched.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString title = QStringLiteral("Link Test Store");
    const SerialPortResolver resolve = SettingsSerialPorts(title);
    EXPECT_EQ(resolve(2), QStringLiteral("/dev/ttyS1"));
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, title, title);
        store.setValue(QStringLiteral("SerialPorts/COM2"), QStringLiteral("/dev/pts/9"));
    }
    EXPECT_EQ(resolve(2), QStringLiteral("/dev/pts/9"));
    EXPECT_TRUE(QFile::exists(dir.filePath(title + QStringLiteral("/") + title + QStringLiteral(".conf"))));
}

} // namespace
