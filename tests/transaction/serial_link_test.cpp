#include "link_bench.h"
#include "pty_peer.h"
#include "unit_replies.h"

#include "frame.h"
#include "reply_length.h"
#include "serial_transport.h"
#include "unit_link.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

constexpr quint8 kIdentify = 7;
constexpr quint8 kLogPage = 3; // its payload holds 264 data bytes

// Two units on their own pseudo-terminals, serial elements 0 and 1 (COM1 and COM2).
class UnitLinkSerial : public testing::Test
{
protected:
    UnitLinkSerial()
        : link([this](int comPort) { return comPort == 1 ? first.DevicePath() : second.DevicePath(); },
               TestTimings())
    {
        link.OpenSerialPort(0, 1);
        link.OpenSerialPort(1, 2);
    }

    bool Open(int port) const { return link.Element(1, port) && link.Element(1, port)->IsOpen(); }

    LinkResult Identify(int port, ReplyBuffer& reply)
    {
        RequestFrame request{kIdentify};
        return link.DeviceTransaction(request, reply, 1, true, 1, port);
    }

    PtyPeer first;
    PtyPeer second;
    UnitLink link;
};

TEST_F(UnitLinkSerial, EveryByteValuePassesBothWays)
{
    ASSERT_TRUE(Open(0));
    QByteArray sentData;
    for (int value = 0; value < 256; value += 13) {
        RequestFrame request{kIdentify};
        for (int i = 1; i <= 13; ++i)
            request[i] = quint8(value + i - 1);
        sentData += QByteArray(reinterpret_cast<const char*>(request.data()) + 1, 13);
        first.SetScript({Block(DataReply(kIdentify))});
        ReplyBuffer reply{};
        ASSERT_EQ(link.DeviceTransaction(request, reply, 14, true, 1, 0), LinkOk);
        EXPECT_EQ(first.Received().mid(1, 13), sentData.right(13));
    }
    // A log page half carries 264 data bytes: every value, 0x11, 0x13, 0x0D, 0x0A, 0x00 and 0xFF among them.
    QByteArray payload;
    for (int i = 0; i < ReplyLength(kLogPage) - 1; ++i)
        payload.append(char(i));
    payload.append(
        char(XorOf(std::span(reinterpret_cast<const quint8*>(payload.constData()), payload.size()))));
    first.SetScript({Block(Byte(StatusData) + payload)});
    RequestFrame request{kLogPage};
    ReplyBuffer reply{};
    ASSERT_EQ(link.DeviceTransaction(request, reply, 1, true, 1, 0), LinkOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(reply.data()), payload.size()).toHex(),
              payload.toHex());
}

TEST_F(UnitLinkSerial, ReplyOnAnotherUnitsPortIsNotTaken)
{
    second.SetScript({Block(), Block(), Block()});
    second.afterStep = [this](int) { first.Send(DataReply(kIdentify)); };
    ReplyBuffer reply;
    reply.fill(0xAA);
    EXPECT_EQ(Identify(1, reply), LinkNoAnswer);
    EXPECT_EQ(second.StepsDone(), 3);
    EXPECT_EQ(reply[0], 0xAA);

    // The first unit's stray replies are stale by its next transaction.
    first.SetScript({Block(DataReply(kIdentify, 4))});
    ASSERT_EQ(Identify(0, reply), LinkOk);
    EXPECT_EQ(reply[0], 4);
}

TEST(UnitLinkSerialDevice, PortThatVanishesFailsAtOnceAndIsReopenedWhenBack)
{
    PtyPeer first;
    LinkTimings slow = TestTimings();
    slow.blockReplyWait = 3000;
    UnitLink patient([&](int) { return first.DevicePath(); }, slow);
    ASSERT_TRUE(patient.OpenSerialPort(0, 1));
    RequestFrame request{kIdentify};
    ReplyBuffer reply{};

    first.SetScript({Block()});
    first.afterStep = [&](int) { first.Vanish(); };
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(patient.DeviceTransaction(request, reply, 1, true, 1, 0), LinkFailure);
    EXPECT_LT(clock.elapsed(), 1000) << "a vanished port must not wait out the reply time";
    EXPECT_FALSE(patient.Element(1, 0)->IsOpen());

    // Still gone: fails at once, the reopen fails too.
    first.afterStep = nullptr;
    EXPECT_EQ(patient.DeviceTransaction(request, reply, 1, true, 1, 0), LinkFailure);
    EXPECT_FALSE(patient.ResetSerialPort(0));

    first.Plug();
    EXPECT_TRUE(patient.ResetSerialPort(0));
    first.SetScript({Block(DataReply(kIdentify))});
    EXPECT_EQ(patient.DeviceTransaction(request, reply, 1, true, 1, 0), LinkOk);
}

TEST_F(UnitLinkSerial, WriteOnADeadPortResetsAndFailsAfterOneAttempt)
{
    ASSERT_TRUE(Open(0));
    first.Vanish();
    first.Plug(); // back on a new terminal before the next transaction
    first.SetScript({Block(DataReply(kIdentify))});
    ReplyBuffer reply{};
    EXPECT_EQ(Identify(0, reply), LinkFailure);
    EXPECT_EQ(first.StepsDone(), 0);
    EXPECT_TRUE(Open(0)) << "the failed transaction reopens the port";
    EXPECT_EQ(Identify(0, reply), LinkOk);
}

TEST_F(UnitLinkSerial, CloseAllClosesAndUnloadsElements)
{
    ASSERT_TRUE(Open(0));
    ASSERT_TRUE(Open(1));
    EXPECT_TRUE(link.CloseAll());
    ASSERT_NE(link.Element(1, 0), nullptr);
    EXPECT_FALSE(link.Element(1, 0)->IsOpen());
    EXPECT_EQ(link.Element(1, 1), nullptr);
    ReplyBuffer reply{};
    EXPECT_EQ(Identify(1, reply), LinkFailure);
}

TEST_F(UnitLinkSerial, StaleInputIsDroppedBeforeTheRequest)
{
    first.Send(DataReply(kIdentify, 1));
    link.Delay(20);
    first.SetScript({Block(DataReply(kIdentify, 8))});
    ReplyBuffer reply{};
    ASSERT_EQ(Identify(0, reply), LinkOk);
    EXPECT_EQ(reply[0], 8);
}

} // namespace
