// The server's link against the simulated unit: what the line itself must carry and survive.
#include "short_link_timings.h"
#include "sim_line.h"

#include "reply_length.h"
#include "sim_fault_script.h"
#include "transport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

using unitsim::CommandAnswer;
using unitsim::Fault;

namespace {

constexpr qint64 kByteTimeNs = 86'806;

template <size_t Size> QByteArray Bytes(const std::array<quint8, Size>& bytes, int count)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), count);
}

const auto kAllWires = testing::Values(Wire::Pty, Wire::Tcp, Wire::DeviceServer);

std::string WireTestName(const testing::TestParamInfo<Wire>& info)
{
    return WireName(info.param);
}

class LinkWire : public testing::TestWithParam<Wire>
{
protected:
    void SetUp() override
    {
        if (!WireAvailable(GetParam()))
            GTEST_SKIP() << "socat is not on PATH";
    }
};

class LinkWireAndMode : public testing::TestWithParam<std::tuple<Wire, bool>>
{
};

TEST_P(LinkWireAndMode, EveryByteValuePassesUnchangedAndAPacedReplyWhole)
{
    const auto [wire, blockMode] = GetParam();
    if (!WireAvailable(wire))
        GTEST_SKIP() << "socat is not on PATH";
    // The full default time-outs: a normal exchange waits out none of them.
    SimLine line(wire, LinkTimings{});
    ASSERT_TRUE(line.Ready()) << line.Problem().toStdString();
    // Flow-control, line-end and terminal control bytes, in the request and in the reply. The
    // unit echoes request bytes 1 to 8; its check of byte 14 vouches for the others.
    const RequestFrame data = {CmdReadLogPage, 0x11, 0x13, 0x0D, 0x0A, 0x00, 0xFF,
                               0x03,           0x7F, 0x04, 0x1A, 0x1C, 0x15, 0x08};
    constexpr int kEchoed = 8;
    QByteArray values;
    for (int b = 0; b <= 0xFF; ++b)
        values.append(char(b));
    line.Sim().SetHandler(CmdReadLogPage, [values](const QByteArray& request) {
        return CommandAnswer::Data(values + request.sliced(1, kEchoed));
    });
    line.Sim().SetPaced(true);

    RequestFrame request = data;
    ReplyBuffer reply{};
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(line.Transact(request, 14, blockMode, reply), LinkOk);
    const qint64 elapsedNs = clock.nsecsElapsed();
    EXPECT_EQ(line.Sim().Arrivals(CmdReadLogPage), 1) << "taken in one attempt";
    const QByteArray payload = Bytes(reply, ReplyLength(CmdReadLogPage) - 1);
    EXPECT_EQ(payload.first(256).toHex(' '), values.toHex(' '));
    EXPECT_EQ(payload.sliced(256).toHex(' '), Bytes(data, 1 + kEchoed).sliced(1).toHex(' '));
    // The unit sends the status byte and 265 more at 115200 baud: the link must have waited them out.
    EXPECT_GE(elapsedNs, (1 + ReplyLength(CmdReadLogPage)) * kByteTimeNs * 95 / 100);
    EXPECT_LT(elapsedNs, 1'000'000'000);
    EXPECT_TRUE(line.Pauses().empty());
}

INSTANTIATE_TEST_SUITE_P(, LinkWireAndMode, testing::Combine(kAllWires, testing::Bool()),
                         [](const auto& info) {
                             return std::string(WireName(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) ? "Block" : "Handshake");
                         });

TEST_P(LinkWire, CommandWithoutReplyLengthAndNestedLinkUseAreRefusedUnsent)
{
    SimLine line(GetParam(), ShortLinkTimings());
    ASSERT_TRUE(line.Ready()) << line.Problem().toStdString();
    QSignalSpy unsupported(&line.Link(), &UnitLink::UnsupportedCommand);
    for (quint8 code : {0, 26, 31, 33, 255}) {
        for (bool blockMode : {true, false}) {
            RequestFrame request{code};
            ReplyBuffer reply{};
            EXPECT_EQ(line.Transact(request, 1, blockMode, reply), LinkFailure) << int(code);
        }
        EXPECT_EQ(line.Sim().Arrivals(code), 0) << int(code);
    }
    ASSERT_EQ(unsupported.count(), 10);
    EXPECT_EQ(unsupported.at(2).at(0).value<quint8>(), 26);

    // The line is as it was: a transaction goes through, and a use of the link from inside its wait
    // is refused.
    UnitLink& link = line.Link();
    line.Sim().SetFault(CmdIdentify, 1, Fault::Delay(100));
    std::vector<int> nested;
    QTimer::singleShot(30, &link, [&] {
        RequestFrame request{CmdIdentify};
        ReplyBuffer reply{};
        nested = {link.DeviceTransaction(request, reply, 1, true, line.LinkSerial(), 0),
                  link.TcpLink(0, UnitLink::kTcpConnect, QStringLiteral("127.0.0.1"), 1, 15),
                  link.ResetSerialPort(0), link.CloseAll(), link.OpenSerialPort(1, 1)};
    });
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    EXPECT_EQ(line.Transact(request, 1, true, reply), LinkOk);
    EXPECT_EQ(nested, (std::vector<int>{LinkFailure, UnitLink::kTcpClosed, false, false, false}));
    EXPECT_EQ(line.Sim().Arrivals(CmdIdentify), 1) << "the nested transaction sent nothing";
    EXPECT_TRUE(line.Pauses().empty());
}

TEST_P(LinkWire, UnitThatDropsItsLine)
{
    // Over a direct line the reply wait is long, so that "at once" stays clear of it on a loaded
    // machine; behind the device server its time-out is the only sign.
    const bool deviceServer = GetParam() == Wire::DeviceServer;
    LinkTimings timings = ShortLinkTimings();
    if (!deviceServer)
        timings.blockReplyWait = 3000;
    SimLine line(GetParam(), timings);
    ASSERT_TRUE(line.Ready()) << line.Problem().toStdString();
    constexpr int kAwayMs = 1000;
    line.Sim().SetFault(CmdIdentify, 1, Fault::Drop(deviceServer ? 0 : kAwayMs));
    RequestFrame request{CmdIdentify};
    ReplyBuffer reply{};
    QElapsedTimer clock;
    clock.start();
    const LinkResult result = line.Transact(request, 1, true, reply);
    if (deviceServer) {
        // The device server keeps the connection while the unit behind it is away: only a
        // time-out shows, and the unit answers the next attempt.
        EXPECT_EQ(result, LinkOk);
        EXPECT_EQ(line.Pauses(), std::vector<int>{timings.blockPause});
        EXPECT_EQ(line.Sim().Arrivals(CmdIdentify), 2);
        return;
    }
    // A port or connection that breaks ends the transaction at once, closed or reopened; while
    // the unit is away it cannot be reopened. Its caller links again.
    EXPECT_EQ(result, LinkFailure);
    EXPECT_LT(clock.elapsed(), kAwayMs / 2) << "a broken line is no time-out";
    EXPECT_FALSE(line.Link().Element(line.LinkSerial(), 0)->IsOpen());
    if (GetParam() == Wire::Pty) {
        EXPECT_FALSE(line.Link().ResetSerialPort(0));
    }
    EXPECT_TRUE(line.Pauses().empty());
    EXPECT_EQ(line.Sim().Arrivals(CmdIdentify), 1);
    line.Link().Delay(kAwayMs);
    EXPECT_TRUE(line.Recover());
}

INSTANTIATE_TEST_SUITE_P(, LinkWire, kAllWires, WireTestName);

} // namespace
