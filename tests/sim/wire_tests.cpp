// The simulator in its own thread, driven over a pseudo-terminal and over TCP like a real line.
#include "request_frames.h"
#include "sim_thread.h"
#include "wire_client.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

enum class Line { Pty, Tcp };

constexpr quint8 kIdentify = 7;
constexpr int kIdentifyLength = 34;
constexpr quint8 kLogPage = 3;
constexpr int kLogPageLength = 265;

class WireTest : public ::testing::TestWithParam<Line>
{
protected:
    void SetUp() override
    {
        unit.sim().setFixedPayload(kIdentify, "TELVARON-1");
        ASSERT_TRUE(GetParam() == Line::Pty ? unit.servePty(linkPath()) : unit.serveTcp(0))
            << unit.sim().errorString().toStdString();
        connectClient();
    }

    QString linkPath() const { return dir.filePath(QStringLiteral("unit")); }

    void connectClient() { ASSERT_TRUE(tryConnectClient()); }

    bool tryConnectClient()
    {
        client.reset();
        if (GetParam() == Line::Pty) {
            auto tty = std::make_unique<TtyClient>(linkPath());
            if (!tty->isOpen())
                return false;
            client = std::move(tty);
        } else {
            auto tcp = std::make_unique<TcpClient>(unit.sim().tcpPort());
            if (!tcp->isConnected())
                return false;
            client = std::move(tcp);
        }
        return true;
    }

    QByteArray exchange(const QByteArray& request, int n, int timeoutMs = 2000)
    {
        client->send(request);
        return client->read(n, timeoutMs);
    }

    static QByteArray identifyReply()
    {
        QByteArray payload("TELVARON-1");
        payload.resize(kIdentifyLength - 1, '\0');
        return QByteArray(1, char(0xFC)) + payload + char(xorBytes(payload));
    }

    QTemporaryDir dir;
    SimThread unit;
    std::unique_ptr<WireClient> client;
};

TEST_P(WireTest, ReplyCarriesItsCheckByteAndNothingMore)
{
    const QByteArray reply = exchange(requestFrame(kIdentify), kIdentifyLength + 1);
    EXPECT_EQ(reply.toHex(' '), identifyReply().toHex(' '));
    EXPECT_EQ(reply.back(), char(xorBytes(reply.sliced(1, kIdentifyLength - 1))));
    EXPECT_TRUE(client->read(1, 100).isEmpty());
}

TEST_P(WireTest, WrongCheckByteAsksForTheRequestAgainPaddedOrBare)
{
    QByteArray bad = requestFrame(kIdentify);
    bad[14] = char(bad[14] ^ 0x80);
    EXPECT_EQ(exchange(bad, 100, 300).toHex(' '),
              (QByteArray(1, char(0xFB)) + QByteArray(kIdentifyLength, '\0')).toHex(' '));
    unit.sim().setBareStatus(true);
    EXPECT_EQ(exchange(bad, 100, 300), QByteArray(1, char(0xFB)));
}

TEST_P(WireTest, HandshakeAcknowledgesEveryRequestByte)
{
    const QByteArray frame = requestFrame(kIdentify);
    for (int i = 0; i < 14; ++i)
        ASSERT_EQ(exchange(frame.sliced(i, 1), 1), QByteArray(1, char(i == 0 ? 0xFF : 0xFD))) << "byte " << i;
    EXPECT_EQ(exchange(frame.sliced(14, 1), kIdentifyLength + 1), identifyReply());
}

TEST_P(WireTest, HandshakeRefusesAnUnsupportedCommandByte)
{
    EXPECT_EQ(exchange(QByteArray(1, char(kLogPage)), 10, 300), QByteArray(1, char(0xFE)));
}

TEST_P(WireTest, HandshakeWrongAcknowledgementThenAFreshRequest)
{
    unit.sim().setFault(kIdentify, 1, Fault::wrongAck(2, 0xFB));
    const QByteArray frame = requestFrame(kIdentify);
    EXPECT_EQ(exchange(frame.sliced(0, 1), 1), QByteArray(1, char(0xFF)));
    EXPECT_EQ(exchange(frame.sliced(1, 1), 1), QByteArray(1, char(0xFD)));
    EXPECT_EQ(exchange(frame.sliced(2, 1), 1), QByteArray(1, char(0xFB)));
    for (int i = 0; i < 14; ++i)
        ASSERT_EQ(exchange(frame.sliced(i, 1), 1).size(), 1) << "byte " << i;
    EXPECT_EQ(exchange(frame.sliced(14, 1), kIdentifyLength + 1), identifyReply());
    EXPECT_EQ(unit.sim().arrivals(kIdentify), 2);
}

TEST_P(WireTest, FaultsOnTheWire)
{
    const QByteArray request = requestFrame(kIdentify);
    const QByteArray reply = identifyReply();
    struct Case
    {
        const char* what;
        Fault fault;
        QByteArray expected;
    };
    const Case cases[] = {
        {"silence", Fault::silence(), {}},
        {"short", Fault::shortReply(1), reply.chopped(1)},
        {"long", Fault::longReply(1, 0x77), reply + "\x77"},
        {"garbage", Fault::garbagePrefix(2, 0x00), QByteArray(2, '\0') + reply},
        {"busy", Fault::status(0xFA), QByteArray(1, char(0xFA)) + QByteArray(kIdentifyLength, '\0')},
    };
    for (const Case& c : cases) {
        unit.sim().setFault(kIdentify, kEveryArrival, c.fault);
        EXPECT_EQ(exchange(request, 1000, 200).toHex(' '), c.expected.toHex(' ')) << c.what;
    }
}

TEST_P(WireTest, DelayAndTurnaroundHoldTheReplyBack)
{
    unit.sim().setTurnaround(60);
    unit.sim().setFault(kIdentify, 1, Fault::delay(90));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(exchange(requestFrame(kIdentify), kIdentifyLength + 1), identifyReply());
    EXPECT_GE(clock.elapsed(), 150);
}

TEST_P(WireTest, SplitReplyComesInTwoPartsWithAGap)
{
    unit.sim().setFault(kIdentify, 1, Fault::splitReply(10, 1000));
    client->send(requestFrame(kIdentify));
    const QByteArray first = client->read(kIdentifyLength + 1, 500);
    EXPECT_EQ(first, identifyReply().first(10));
    const QByteArray rest = client->read(kIdentifyLength + 1 - 10, 2000);
    EXPECT_EQ(first + rest, identifyReply());
}

TEST_P(WireTest, DroppedLineComesBackForTheNextClient)
{
    unit.sim().setFault(kIdentify, 1, Fault::drop());
    client->send(requestFrame(kIdentify));
    EXPECT_TRUE(client->read(1, 1000).isEmpty());
    EXPECT_TRUE(client->lineGone());
    // The pseudo-terminal is a new one behind the same link, once the unit has made it.
    bool back = false;
    for (int i = 0; i < 40 && !back; ++i) {
        QThread::msleep(50);
        back = tryConnectClient();
    }
    ASSERT_TRUE(back);
    EXPECT_EQ(exchange(requestFrame(kIdentify), kIdentifyLength + 1), identifyReply());
}

TEST_P(WireTest, PacedReplyTakesTheTimeOfTheLine)
{
    unit.sim().setFixedPayload(kLogPage, QByteArray(kLogPageLength - 1, '\x5A'));
    unit.sim().setPaced(true);
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = exchange(requestFrame(kLogPage), kLogPageLength + 1);
    const qint64 elapsedUs = clock.nsecsElapsed() / 1000;
    EXPECT_EQ(reply.size(), kLogPageLength + 1);
    // 266 bytes at 115200 baud, 86.8 us each: about 23 ms; only the lower bound is firm.
    EXPECT_GE(elapsedUs, 266 * 868 / 10 * 95 / 100);
}

INSTANTIATE_TEST_SUITE_P(Lines, WireTest, ::testing::Values(Line::Pty, Line::Tcp),
                         [](const auto& info) { return info.param == Line::Pty ? "Pty" : "Tcp"; });

} // namespace
