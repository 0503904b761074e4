// The unit's protocol machine alone: bytes and a made-up clock in, actions out.
#include "request_frames.h"
#include "unit_protocol.h"

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

constexpr quint8 kIdentify = 7; // 34 payload bytes
constexpr int kIdentifyLength = 34;

QByteArray writtenBytes(const SimActions& actions)
{
    QByteArray bytes;
    for (const SimAction& a : actions) {
        if (a.kind == SimAction::Kind::Write)
            bytes += a.bytes;
    }
    return bytes;
}

QByteArray padded(quint8 status, int length)
{
    return QByteArray(1, char(status)) + QByteArray(length, '\0');
}

class UnitProtocolTest : public ::testing::Test
{
protected:
    UnitProtocolTest()
    {
        protocol.setHandler(kIdentify, [](const QByteArray&) { return CommandAnswer::data("TELVARON-1"); });
    }

    // The reply that the identify handler above gives.
    static QByteArray identifyReply()
    {
        QByteArray payload("TELVARON-1");
        payload.resize(kIdentifyLength - 1, '\0');
        return QByteArray(1, char(0xFC)) + payload + char(xorBytes(payload));
    }

    UnitProtocol protocol;
};

TEST_F(UnitProtocolTest, BlockRequestGetsStatusPayloadAndCheckByte)
{
    const SimActions actions = protocol.receive(requestFrame(kIdentify), 0);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].bytes, identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 1);
}

TEST_F(UnitProtocolTest, RequestSplitAcrossReadsIsOneFrame)
{
    const QByteArray frame = requestFrame(kIdentify);
    EXPECT_TRUE(protocol.receive(frame.first(6), 0).empty());
    EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(6), 5)), identifyReply());
}

TEST_F(UnitProtocolTest, TwoFramesInOneReadGetTwoReplies)
{
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(kIdentify) + requestFrame(kIdentify), 0)),
              identifyReply() + identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 2);
}

TEST_F(UnitProtocolTest, StatusOnlyAnswersArePaddedOrBare)
{
    QByteArray badCheck = requestFrame(kIdentify);
    badCheck[14] = char(badCheck[14] ^ 0x01);
    protocol.setHandler(21, [](const QByteArray&) { return CommandAnswer::statusOnly(0xFA); });
    struct Case
    {
        const char* what;
        QByteArray request;
        bool bare;
        QByteArray expected;
    };
    const Case cases[] = {
        {"bad check byte", badCheck, false, padded(0xFB, kIdentifyLength)},
        {"bad check byte, bare", badCheck, true, QByteArray(1, char(0xFB))},
        {"no handler", requestFrame(3), false, padded(0xF9, 265)},
        {"no handler, bare", requestFrame(3), true, QByteArray(1, char(0xF9))},
        {"code without a reply length", requestFrame(26), false, QByteArray(1, char(0xF9))},
        {"handler answers busy", requestFrame(21), false, padded(0xFA, 76)},
        {"handler answers busy, bare", requestFrame(21), true, QByteArray(1, char(0xFA))},
    };
    for (const Case& c : cases) {
        protocol.settings.bareStatus = c.bare;
        EXPECT_EQ(writtenBytes(protocol.receive(c.request, 0)).toHex(' '), c.expected.toHex(' ')) << c.what;
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
    const QByteArray reply = writtenBytes(protocol.receive(request, 0));
    EXPECT_EQ(seen, request);
    EXPECT_EQ(reply.toHex(' '), QByteArray("\xFC\x05\x05", 3).toHex(' '));
}

TEST_F(UnitProtocolTest, LoneCommandByteIsTakenAsHandshakeAfterTheGap)
{
    protocol.settings.detectGapMs = 20;
    const QByteArray frame = requestFrame(kIdentify);
    EXPECT_TRUE(protocol.receive(frame.first(1), 100).empty());
    ASSERT_TRUE(protocol.wakeAt().has_value());
    EXPECT_EQ(*protocol.wakeAt(), 120);
    EXPECT_TRUE(protocol.wake(119).empty());
    EXPECT_EQ(writtenBytes(protocol.wake(120)), QByteArray(1, char(0xFF)));
    protocol.outputDrained(121);
    for (int i = 1; i < 14; ++i) {
        EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(i, 1), 121 + i)), QByteArray(1, char(0xFD)))
            << i;
        protocol.outputDrained(121 + i);
    }
    EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(14), 140)), identifyReply());
}

TEST_F(UnitProtocolTest, CommandByteThatCameAfterTheGapWithMoreBytesStillGetsItsAck)
{
    // The wake-up was late: the next byte is already here.
    const QByteArray frame = requestFrame(kIdentify);
    protocol.receive(frame.first(1), 0);
    EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(1, 1), 50)), QByteArray("\xFF\xFD"));
}

TEST_F(UnitProtocolTest, HandshakePolicies)
{
    const QByteArray frame = requestFrame(kIdentify);
    const QByteArray acks = QByteArray(1, char(0xFF)) + QByteArray(13, char(0xFD));

    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    EXPECT_EQ(writtenBytes(protocol.receive(frame, 0)), acks + identifyReply());

    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    EXPECT_TRUE(protocol.receive(frame.first(1), 0).empty());
    EXPECT_TRUE(protocol.wake(10'000).empty());
    EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(1), 10'001)), identifyReply());

    protocol.setDefaultHandshakePolicy(HandshakePolicy::On);
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(3).first(1), 0)), QByteArray(1, char(0xFE)));
    EXPECT_TRUE(protocol.receive(frame.first(1), 0).empty()) << "a command's own policy stays";
}

TEST_F(UnitProtocolTest, UnsupportedCommandIsRefusedAtItsCommandByteInHandshake)
{
    protocol.setHandshakePolicy(3, HandshakePolicy::On);
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(3).first(1), 0)), QByteArray(1, char(0xFE)));
    // The unit waits for a new request: the next byte is its command byte.
    protocol.receive(QByteArray(1, char(kIdentify)), 1);
    EXPECT_EQ(protocol.arrivals(kIdentify), 1);
}

TEST_F(UnitProtocolTest, TurnaroundComesBeforeEveryAnswer)
{
    protocol.settings.turnaroundMs = 7;
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    const SimActions actions = protocol.receive(requestFrame(kIdentify), 0);
    ASSERT_EQ(actions.size(), 30u);
    for (size_t i = 0; i < actions.size(); i += 2) {
        EXPECT_EQ(actions[i].kind, SimAction::Kind::Wait);
        EXPECT_EQ(actions[i].ms, 7);
        EXPECT_EQ(actions[i + 1].kind, SimAction::Kind::Write);
    }
}

TEST_F(UnitProtocolTest, IncompleteRequestIsDroppedAfterTheFrameTimeoutWhileTheUnitIsQuiet)
{
    protocol.settings.frameTimeoutMs = 100;
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    protocol.receive(requestFrame(kIdentify).first(5), 0);
    EXPECT_EQ(protocol.wakeAt(), 100);
    protocol.wake(100);
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(kIdentify), 150)), identifyReply());
}

TEST_F(UnitProtocolTest, FrameTimeoutWaitsUntilTheUnitsOwnAnswerIsOut)
{
    protocol.settings.frameTimeoutMs = 100;
    protocol.settings.detectGapMs = 20;
    protocol.faults().set(kIdentify, kEveryArrival, Fault::delay(5000).atStep(0));
    const QByteArray frame = requestFrame(kIdentify);
    for (const HandshakePolicy policy : {HandshakePolicy::On, HandshakePolicy::Detect}) {
        protocol.reset();
        protocol.setHandshakePolicy(kIdentify, policy);
        QByteArray ack = writtenBytes(protocol.receive(frame.first(1), 0));
        if (policy == HandshakePolicy::Detect)
            ack = writtenBytes(protocol.wake(20));
        EXPECT_EQ(ack, QByteArray(1, char(0xFF)));
        EXPECT_FALSE(protocol.wakeAt().has_value()) << "no time-out while the acknowledgement is delayed";
        protocol.outputDrained(5020);
        EXPECT_EQ(protocol.wakeAt(), 5120);
        EXPECT_EQ(writtenBytes(protocol.receive(frame.sliced(1, 1), 5050)), QByteArray(1, char(0xFD)));
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
    struct Case
    {
        const char* what;
        Fault fault;
        std::vector<Step> expected;
    };
    const Case cases[] = {
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
        {"status busy", Fault::status(0xFA), {{K::Write, padded(0xFA, kIdentifyLength)}}},
        {"status resend", Fault::status(0xFB), {{K::Write, padded(0xFB, kIdentifyLength)}}},
        {"status not supported", Fault::status(0xF9), {{K::Write, padded(0xF9, kIdentifyLength)}}},
        {"status of no meaning", Fault::status(0x42), {{K::Write, padded(0x42, kIdentifyLength)}}},
        {"wrong ack in block mode", Fault::wrongAck(0, 0xFD), {{K::Write, QByteArray(1, char(0xFD))}}},
        {"drop", Fault::drop(200), {{K::Drop, {}, 200}}},
        {"delayed split",
         Fault::splitReply(1, 10).withDelay(30),
         {{K::Wait, {}, 30}, {K::Write, reply.first(1)}, {K::Wait, {}, 10}, {K::Write, reply.sliced(1)}}},
    };
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::Off);
    for (const Case& c : cases) {
        protocol.faults().set(kIdentify, kEveryArrival, c.fault);
        const SimActions actions = protocol.receive(requestFrame(kIdentify), 0);
        ASSERT_EQ(actions.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < actions.size(); ++i) {
            EXPECT_EQ(actions[i].kind, c.expected[i].kind) << c.what << " action " << i;
            EXPECT_EQ(actions[i].bytes.toHex(' '), c.expected[i].bytes.toHex(' '))
                << c.what << " action " << i;
            EXPECT_EQ(actions[i].ms, c.expected[i].ms) << c.what << " action " << i;
        }
    }
}

TEST_F(UnitProtocolTest, FaultsFollowTheArrivalNumber)
{
    protocol.faults().set(kIdentify, 2, Fault::silence());
    protocol.faults().set(kIdentify, 4, Fault::status(0xFB));
    const QByteArray resend = padded(0xFB, kIdentifyLength);
    const QByteArray expected[] = {identifyReply(), {}, identifyReply(), resend, identifyReply()};
    for (const QByteArray& e : expected)
        EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(kIdentify), 0)), e);

    protocol.faults().set(kIdentify, kEveryArrival, Fault::badCheck());
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(kIdentify), 0)).back(),
              char(~quint8(identifyReply().back())))
        << "arrival 6 has no fault of its own";
    protocol.resetArrivals();
    protocol.faults().clear();
    EXPECT_EQ(writtenBytes(protocol.receive(requestFrame(kIdentify), 0)), identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 1);
}

TEST_F(UnitProtocolTest, HandshakeFaultsActOnTheirRequestByte)
{
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    const QByteArray frame = requestFrame(kIdentify);
    const QByteArray acks = QByteArray(1, char(0xFF)) + QByteArray(13, char(0xFD));
    struct Case
    {
        const char* what;
        Fault fault;
        QByteArray expected; // everything written for the whole frame sent at once
    };
    const Case cases[] = {
        // After a changed acknowledgement the unit waits for a new request, so the rest of the
        // bytes start new ones: the bytes after it are taken as command bytes and refused, or
        // acknowledged, according to their value. Sending one request byte by byte, as the
        // server does, sees only the part up to the fault.
        {"silence at the command byte", Fault::silence().atStep(0), {}},
        {"wrong ack at byte 3", Fault::wrongAck(3, 0xFB), acks.first(3) + "\xFB"},
        {"busy at byte 5", Fault::wrongAck(5, 0xFA), acks.first(5) + "\xFA"},
        {"refusal of the command byte", Fault::wrongAck(0, 0xFE), QByteArray(1, char(0xFE))},
        {"reply fault", Fault::status(0xFB), acks + padded(0xFB, kIdentifyLength)},
        {"silence at the reply", Fault::silence(), acks},
    };
    for (const Case& c : cases) {
        protocol.reset();
        protocol.faults().set(kIdentify, kEveryArrival, c.fault);
        const int step = c.fault.step;
        QByteArray written;
        for (int i = 0; i < 15; ++i) {
            written += writtenBytes(protocol.receive(frame.sliced(i, 1), i));
            if (i == step)
                break;
        }
        EXPECT_EQ(written.toHex(' '), c.expected.toHex(' ')) << c.what;
    }
}

TEST_F(UnitProtocolTest, HandshakeRequestEndedByAFaultLeavesTheUnitReadyForTheNextOne)
{
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    protocol.faults().set(kIdentify, 1, Fault::wrongAck(3, 0xFB));
    const QByteArray frame = requestFrame(kIdentify);
    protocol.receive(frame.first(4), 0);
    const QByteArray acks = QByteArray(1, char(0xFF)) + QByteArray(13, char(0xFD));
    EXPECT_EQ(writtenBytes(protocol.receive(frame, 1)), acks + identifyReply());
    EXPECT_EQ(protocol.arrivals(kIdentify), 2);
}

TEST_F(UnitProtocolTest, DelayAtAnAcknowledgementKeepsTheRequestGoing)
{
    protocol.setHandshakePolicy(kIdentify, HandshakePolicy::On);
    protocol.faults().set(kIdentify, 1, Fault::delay(30).atStep(2));
    const SimActions actions = protocol.receive(requestFrame(kIdentify), 0);
    ASSERT_EQ(actions.size(), 16u);
    EXPECT_EQ(actions[2].kind, SimAction::Kind::Wait);
    EXPECT_EQ(actions[2].ms, 30);
    EXPECT_EQ(writtenBytes(actions).right(identifyReply().size()), identifyReply());
}

} // namespace
