// The unit's protocol machine alone: bytes and a made-up clock in, actions out.
#include "request_frames.h"
#include "unit_protocol.h"

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

QByteArray writtenBytes(const SimActions& actions)
{
    QByteArray bytes;
    for (const SimAction& a : actions)
        if (a.kind == SimAction::Kind::Write)
            bytes += a.bytes;
    return bytes;
}

const QByteArray kAcks = QByteArray(1, char(0xFF)) + QByteArray(13, char(0xFD));

class UnitProtocolTest : public ::testing::Test
{
protected:
    UnitProtocolTest()
    {
        protocol.setHandler(kIdentify, [](const QByteArray&) { return CommandAnswer::data("TELVARON-1"); });
    }

    QByteArray send(const QByteArray& bytes, qint64 nowMs = 0)
    {
        return writtenBytes(protocol.receive(bytes, nowMs));
    }

    const QByteArray frame = requestFrame(kIdentify);
    UnitProtocol protocol;
};

TEST_F(UnitProtocolTest, AFrameIsOneRequestHoweverTheReadsCutIt)
{
    EXPECT_EQ(send(frame), identifyReply());
    EXPECT_TRUE(send(frame.first(6)).isEmpty());
    EXPECT_EQ(send(frame.sliced(6), 5), identifyReply());
    EXPECT_EQ(send(frame + frame, 10), identifyReply() + identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 4);
}

TEST_F(UnitProtocolTest, StatusOnlyAnswersArePaddedOrBare)
{
    QByteArray badCheck = frame;
    badCheck[14] = char(badCheck[14] ^ 0x01);
    protocol.setHandler(21, [](const QByteArray&) { return CommandAnswer::statusOnly(0xFA); });
    const struct
    {
        const char* what;
        QByteArray request;
        bool bare;
        QByteArray expected;
    } cases[] = {
        {"bad check byte", badCheck, false, padded(0xFB)},
        {"bad check byte, bare", badCheck, true, QByteArray(1, char(0xFB))},
        {"no handler", requestFrame(3), false, padded(0xF9, 265)},
        {"no handler, bare", requestFrame(3), true, QByteArray(1, char(0xF9))},
        {"code without a reply length", requestFrame(26), false, QByteArray(1, char(0xF9))},
        {"handler answers busy", requestFrame(21), false, padded(0xFA, 76)},
        {"handler answers busy, bare", requestFrame(21), true, QByteArray(1, char(0xFA))},
    };
    for (const auto& c : cases) {
        protocol.settings.bareStatus = c.bare;
        EXPECT_EQ(send(c.request).toHex(' '), c.expected.toHex(' ')) << c.what;
    }
}

TEST_F(UnitProtocolTest, HandlerSeesTheRequestAndItsPayloadIsFittedToTheReplyLength)
{
    QByteArray seen;
    protocol.setHandler(32, [&seen](const QByteArray& request) {
        seen = request;
        return CommandAnswer::data("\x05\x06\x07"); // one byte too many for length 2
    });
    const QByteArray request = requestFrame(32, "\x01\x02");
    EXPECT_EQ(send(request).toHex(' '), QByteArray("\xFC\x05\x05", 3).toHex(' '));
    EXPECT_EQ(seen, request);
}

TEST_F(UnitProtocolTest, LoneCommandByteIsTakenAsHandshakeAfterTheGap)
{
    protocol.settings.detectGapMs = 20;
    EXPECT_TRUE(send(frame.first(1), 100).isEmpty());
    EXPECT_EQ(protocol.wakeAt(), std::optional<qint64>(120));
    EXPECT_TRUE(protocol.wake(119).empty());
    EXPECT_EQ(writtenBytes(protocol.wake(120)), QByteArray(1, char(0xFF)));
    protocol.outputDrained(121);
    for (int i = 1; i < 14; ++i) {
        EXPECT_EQ(send(frame.sliced(i, 1), 121 + i), QByteArray(1, char(0xFD))) << i;
        protocol.outputDrained(121 + i);
    }
    EXPECT_EQ(send(frame.sliced(14), 140), identifyReply());
    // A late wake-up: the next byte is already here, and the command byte still gets its ack.
    send(frame.first(1), 200);
    EXPECT_EQ(send(frame.sliced(1, 1), 250), QByteArray("\xFF\xFD"));
}

TEST_F(UnitProtocolTest, HandshakePolicies)
{
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    EXPECT_EQ(send(frame), kAcks + identifyReply());

    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    EXPECT_TRUE(send(frame.first(1)).isEmpty());
    EXPECT_TRUE(protocol.wake(10'000).empty());
    EXPECT_EQ(send(frame.sliced(1), 10'001), identifyReply());

    // An unsupported command is refused at its command byte; the next byte starts a new request.
    protocol.setDefaultHandshakePolicy(HandshakePolicy::On);
    EXPECT_EQ(send(requestFrame(3).first(1)), QByteArray(1, char(0xFE)));
    EXPECT_TRUE(send(frame.first(1)).isEmpty()) << "a command's own policy stays";
    EXPECT_EQ(protocol.arrivals(kIdentify), 3);
}

TEST_F(UnitProtocolTest, TurnaroundComesBeforeEveryAnswer)
{
    protocol.settings.turnaroundMs = 7;
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    const SimActions actions = protocol.receive(frame, 0);
    ASSERT_EQ(actions.size(), 30u);
    for (size_t i = 0; i < actions.size(); i += 2) {
        EXPECT_EQ(actions[i].kind, SimAction::Kind::Wait);
        EXPECT_EQ(actions[i].ms, 7);
        EXPECT_EQ(actions[i + 1].kind, SimAction::Kind::Write);
    }
}

// An incomplete request is dropped after the frame time-out, counted from the unit's own last
// output: a delayed acknowledgement holds it back.
TEST_F(UnitProtocolTest, FrameTimeoutRunsWhileTheUnitIsQuiet)
{
    protocol.settings.frameTimeoutMs = 100;
    protocol.settings.detectGapMs = 20;
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    send(frame.first(5));
    EXPECT_EQ(protocol.wakeAt(), 100);
    protocol.wake(100);
    EXPECT_EQ(send(frame, 150), identifyReply());

    protocol.faults().set(kIdentify, kEveryArrival, Fault::delay(5000).atStep(0));
    for (const HandshakePolicy policy : {HandshakePolicy::On, HandshakePolicy::Detect}) {
        protocol.reset();
        protocol.setHandshakePolicy(kIdentify, policy);
        QByteArray ack = send(frame.first(1));
        if (policy == HandshakePolicy::Detect)
            ack = writtenBytes(protocol.wake(20));
        EXPECT_EQ(ack, QByteArray(1, char(0xFF)));
        EXPECT_FALSE(protocol.wakeAt().has_value()) << "no time-out while the acknowledgement is delayed";
        protocol.outputDrained(5020);
        EXPECT_EQ(protocol.wakeAt(), 5120);
        EXPECT_EQ(send(frame.sliced(1, 1), 5050), QByteArray(1, char(0xFD)));
    }
}

// What each fault makes of the block reply to identify (status, 33 payload bytes, check byte).
TEST_F(UnitProtocolTest, FaultsShapeTheReply)
{
    const QByteArray reply = identifyReply();
    QByteArray inverted = reply;
    inverted.back() = char(~quint8(inverted.back()));
    using K = SimAction::Kind;
    struct Step
    {
        K kind;
        QByteArray bytes;
        int ms = 0;
    };
    const struct
    {
        const char* what;
        Fault fault;
        std::vector<Step> expected;
    } cases[] = {
        {"none", Fault{}, {{K::Write, reply}}},
        {"silence", Fault::silence(), {}},
        {"delay", Fault::delay(50), {{K::Wait, {}, 50}, {K::Write, reply}}},
        {"short", Fault::shortReply(2), {{K::Write, reply.first(reply.size() - 2)}}},
        {"long", Fault::longReply(2, 0x55), {{K::Write, reply + "\x55\x55"}}},
        {"split",
         Fault::splitReply(5, 40),
         {{K::Write, reply.first(5)}, {K::Wait, {}, 40}, {K::Write, reply.sliced(5)}}},
        {"garbage prefix", Fault::garbagePrefix(3, 0x00), {{K::Write, QByteArray(3, '\0') + reply}}},
        {"bad check", Fault::badCheck(), {{K::Write, inverted}}},
        {"status busy", Fault::status(0xFA), {{K::Write, padded(0xFA)}}},
        {"status resend", Fault::status(0xFB), {{K::Write, padded(0xFB)}}},
        {"status not supported", Fault::status(0xF9), {{K::Write, padded(0xF9)}}},
        {"status of no meaning", Fault::status(0x42), {{K::Write, padded(0x42)}}},
        {"wrong ack in block mode", Fault::wrongAck(0, 0xFD), {{K::Write, QByteArray(1, char(0xFD))}}},
        {"drop", Fault::drop(200), {{K::Drop, {}, 200}}},
        {"delayed split",
         Fault::splitReply(1, 10).withDelay(30),
         {{K::Wait, {}, 30}, {K::Write, reply.first(1)}, {K::Wait, {}, 10}, {K::Write, reply.sliced(1)}}},
    };
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        protocol.faults().set(kIdentify, kEveryArrival, c.fault);
        const SimActions actions = protocol.receive(frame, 0);
        ASSERT_EQ(actions.size(), c.expected.size());
        for (size_t i = 0; i < actions.size(); ++i) {
            EXPECT_EQ(actions[i].kind, c.expected[i].kind) << i;
            EXPECT_EQ(actions[i].bytes.toHex(' '), c.expected[i].bytes.toHex(' ')) << i;
            EXPECT_EQ(actions[i].ms, c.expected[i].ms) << i;
        }
    }
}

TEST_F(UnitProtocolTest, FaultsFollowTheArrivalNumber)
{
    protocol.faults().set(kIdentify, 2, Fault::silence());
    protocol.faults().set(kIdentify, 4, Fault::status(0xFB));
    for (const QByteArray& e :
         {identifyReply(), QByteArray(), identifyReply(), padded(0xFB), identifyReply()})
        EXPECT_EQ(send(frame), e);

    protocol.faults().set(kIdentify, kEveryArrival, Fault::badCheck());
    EXPECT_EQ(send(frame).back(), char(~quint8(identifyReply().back())))
        << "arrival 6 has no fault of its own";
    protocol.resetArrivals();
    protocol.faults().clear();
    EXPECT_EQ(send(frame), identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 1);
}

TEST_F(UnitProtocolTest, HandshakeFaultsActOnTheirRequestByte)
{
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    // After a changed acknowledgement the unit waits for a new request; the request is sent byte
    // by byte, as the server does, up to the fault.
    const struct
    {
        const char* what;
        Fault fault;
        QByteArray expected;
    } cases[] = {
        {"silence at the command byte", Fault::silence().atStep(0), {}},
        {"wrong ack at byte 3", Fault::wrongAck(3, 0xFB), kAcks.first(3) + "\xFB"},
        {"busy at byte 5", Fault::wrongAck(5, 0xFA), kAcks.first(5) + "\xFA"},
        {"refusal of the command byte", Fault::wrongAck(0, 0xFE), QByteArray(1, char(0xFE))},
        {"reply fault", Fault::status(0xFB), kAcks + padded(0xFB)},
        {"silence at the reply", Fault::silence(), kAcks},
    };
    for (const auto& c : cases) {
        protocol.reset();
        protocol.faults().set(kIdentify, kEveryArrival, c.fault);
        QByteArray written;
        for (int i = 0; i < 15; ++i) {
            written += send(frame.sliced(i, 1), i);
            if (i == c.fault.step)
                break;
        }
        EXPECT_EQ(written.toHex(' '), c.expected.toHex(' ')) << c.what;
    }

    // A request ended by a fault leaves the unit ready for the next; a delayed ack keeps it going.
    protocol.reset();
    protocol.resetArrivals();
    protocol.faults().clear();
    protocol.faults().set(kIdentify, 1, Fault::wrongAck(3, 0xFB));
    protocol.faults().set(kIdentify, 2, Fault::delay(30).atStep(2));
    send(frame.first(4));
    const SimActions actions = protocol.receive(frame, 1);
    ASSERT_EQ(actions.size(), 16u);
    EXPECT_EQ(actions[2].kind, SimAction::Kind::Wait);
    EXPECT_EQ(actions[2].ms, 30);
    EXPECT_EQ(writtenBytes(actions), kAcks + identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 2);
}

} // namespace
