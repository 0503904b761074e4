// The unit's protocol machine alone: bytes and a made-up clock in, actions out.
#include "request_frames.h"
#include "unit_protocol.h"

#include <gtest/gtest.h>

using namespace unitsim;

namespace {

QByteArray WrittenBytes(const SimActions& actions)
{
    QByteArray bytes;
    for (const SimAction& a : actions)
        if (a.kind == SimAction::Kind::Write)
            bytes += a.bytes;
    return bytes;
}

// The actions as text, one "kind ms bytes" a step, so that a failure shows the whole answer.
QString Text(const SimActions& actions)
{
    QStringList steps;
    for (const SimAction& a : actions)
        steps << QStringLiteral("%1 %2 %3")
                     .arg(int(a.kind))
                     .arg(a.ms)
                     .arg(QString::fromLatin1(a.bytes.toHex(' ')));
    return steps.join(u'|');
}

const QByteArray kAcks = QByteArray(1, char(0xFF)) + QByteArray(13, char(0xFD));

class UnitProtocolTest : public ::testing::Test
{
protected:
    UnitProtocolTest()
    {
        protocol_.SetHandler(kIdentify, [](const QByteArray&) { return CommandAnswer::Data("TELVARON-1"); });
    }

    QByteArray Send(const QByteArray& bytes, qint64 nowMs = 0)
    {
        return WrittenBytes(protocol_.Receive(bytes, nowMs));
    }

    const QByteArray frame_ = RequestFrame(kIdentify);
    UnitProtocol protocol_;
};

TEST_F(UnitProtocolTest, AFrameIsOneRequestHoweverTheReadsCutIt)
{
    EXPECT_EQ(Send(frame_), IdentifyReply());
    EXPECT_TRUE(Send(frame_.first(6)).isEmpty());
    EXPECT_EQ(Send(frame_.sliced(6), 5), IdentifyReply());
    EXPECT_EQ(Send(frame_ + frame_, 10), IdentifyReply() + IdentifyReply());
    EXPECT_EQ(protocol_.Arrivals(kIdentify), 4);
}

TEST_F(UnitProtocolTest, StatusOnlyAnswersArePaddedOrBare)
{
    QByteArray badCheck = frame_;
    badCheck[14] = char(badCheck[14] ^ 0x01);
    protocol_.SetHandler(21, [](const QByteArray&) { return CommandAnswer::StatusOnly(0xFA); });
    const struct
    {
        const char* what;
        QByteArray request;
        bool bare;
        QByteArray expected;
    } cases[] = {
        {"bad check byte", badCheck, false, Padded(0xFB)},
        {"bad check byte, bare", badCheck, true, QByteArray(1, char(0xFB))},
        {"no handler", RequestFrame(3), false, Padded(0xF9, 265)},
        {"no handler, bare", RequestFrame(3), true, QByteArray(1, char(0xF9))},
        {"code without a reply length", RequestFrame(26), false, QByteArray(1, char(0xF9))},
        {"handler answers busy", RequestFrame(21), false, Padded(0xFA, 76)},
        {"handler answers busy, bare", RequestFrame(21), true, QByteArray(1, char(0xFA))},
    };
    for (const auto& c : cases) {
        protocol_.settings.bareStatus = c.bare;
        EXPECT_EQ(Send(c.request).toHex(' '), c.expected.toHex(' ')) << c.what;
    }
}

TEST_F(UnitProtocolTest, HandlerSeesTheRequestAndItsPayloadIsFittedToTheReplyLength)
{
    QByteArray seen;
    protocol_.SetHandler(32, [&seen](const QByteArray& request) {
        seen = request;
        return CommandAnswer::Data("\x05\x06\x07"); // one byte too many for length 2
    });
    const QByteArray request = RequestFrame(32, "\x01\x02");
    EXPECT_EQ(Send(request).toHex(' '), QByteArray("\xFC\x05\x05", 3).toHex(' '));
    EXPECT_EQ(seen, request);
}

TEST_F(UnitProtocolTest, LoneCommandByteIsTakenAsHandshakeAfterTheGap)
{
    protocol_.settings.detectGapMs = 20;
    EXPECT_TRUE(Send(frame_.first(1), 100).isEmpty());
    EXPECT_EQ(protocol_.WakeAt(), std::optional<qint64>(120));
    EXPECT_TRUE(protocol_.Wake(119).empty());
    EXPECT_EQ(WrittenBytes(protocol_.Wake(120)), QByteArray(1, char(0xFF)));
    protocol_.OutputDrained(121);
    for (int i = 1; i < 14; ++i) {
        EXPECT_EQ(Send(frame_.sliced(i, 1), 121 + i), QByteArray(1, char(0xFD))) << i;
        protocol_.OutputDrained(121 + i);
    }
    EXPECT_EQ(Send(frame_.sliced(14), 140), IdentifyReply());
    // A late wake-up: the next byte is already here, and the command byte still gets its ack.
    Send(frame_.first(1), 200);
    EXPECT_EQ(Send(frame_.sliced(1, 1), 250), QByteArray("\xFF\xFD"));
}

TEST_F(UnitProtocolTest, HandshakePolicies)
{
    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::On);
    EXPECT_EQ(Send(frame_), kAcks + IdentifyReply());

    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::Off);
    EXPECT_TRUE(Send(frame_.first(1)).isEmpty());
    EXPECT_TRUE(protocol_.Wake(10'000).empty());
    EXPECT_EQ(Send(frame_.sliced(1), 10'001), IdentifyReply());

    // An unsupported command is refused at its command byte; the next byte starts a new request.
    protocol_.SetDefaultHandshakePolicy(HandshakePolicy::On);
    EXPECT_EQ(Send(RequestFrame(3).first(1)), QByteArray(1, char(0xFE)));
    EXPECT_TRUE(Send(frame_.first(1)).isEmpty()) << "a command's own policy stays";
    EXPECT_EQ(protocol_.Arrivals(kIdentify), 3);
}

TEST_F(UnitProtocolTest, TurnaroundComesBeforeEveryAnswer)
{
    protocol_.settings.turnaroundMs = 7;
    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::On);
    SimActions expected;
    for (const char ack : kAcks)
        expected.insert(expected.end(), {SimAction::Wait(7), SimAction::Write(QByteArray(1, ack))});
    expected.insert(expected.end(), {SimAction::Wait(7), SimAction::Write(IdentifyReply())});
    EXPECT_EQ(Text(protocol_.Receive(frame_, 0)), Text(expected));
}

// An incomplete request is dropped after the frame time-out, counted from the unit's own last
// output: a delayed acknowledgement holds it back.
TEST_F(UnitProtocolTest, FrameTimeoutRunsWhileTheUnitIsQuiet)
{
    protocol_.settings.frameTimeoutMs = 100;
    protocol_.settings.detectGapMs = 20;
    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::Off);
    Send(frame_.first(5));
    EXPECT_EQ(protocol_.WakeAt(), 100);
    protocol_.Wake(100);
    EXPECT_EQ(Send(frame_, 150), IdentifyReply());

    protocol_.Faults().Set(kIdentify, kEveryArrival, Fault::Delay(5000).AtStep(0));
    for (const HandshakePolicy policy : {HandshakePolicy::On, HandshakePolicy::Detect}) {
        protocol_.Reset();
        protocol_.SetHandshakePolicy(kIdentify, policy);
        QByteArray ack = Send(frame_.first(1));
        if (policy == HandshakePolicy::Detect)
            ack = WrittenBytes(protocol_.Wake(20));
        EXPECT_EQ(ack, QByteArray(1, char(0xFF)));
        EXPECT_FALSE(protocol_.WakeAt().has_value()) << "no time-out while the acknowledgement is delayed";
        protocol_.OutputDrained(5020);
        EXPECT_EQ(protocol_.WakeAt(), 5120);
        EXPECT_EQ(Send(frame_.sliced(1, 1), 5050), QByteArray(1, char(0xFD)));
    }
}

// What each fault makes of the block reply to identify (status, 33 payload bytes, check byte).
TEST_F(UnitProtocolTest, FaultsShapeTheReply)
{
    const QByteArray reply = IdentifyReply();
    QByteArray inverted = reply;
    inverted.back() = char(~quint8(inverted.back()));
    using A = SimAction;
    const struct
    {
        const char* what;
        Fault fault;
        SimActions expected;
    } cases[] = {
        {"none", Fault{}, {A::Write(reply)}},
        {"silence", Fault::Silence(), {}},
        {"delay", Fault::Delay(50), {A::Wait(50), A::Write(reply)}},
        {"short", Fault::ShortReply(2), {A::Write(reply.first(reply.size() - 2))}},
        {"long", Fault::LongReply(2, 0x55), {A::Write(reply + "\x55\x55")}},
        {"split",
         Fault::SplitReply(5, 40),
         {A::Write(reply.first(5)), A::Wait(40), A::Write(reply.sliced(5))}},
        {"garbage prefix", Fault::GarbagePrefix(3, 0x00), {A::Write(QByteArray(3, '\0') + reply)}},
        {"bad check", Fault::BadCheck(), {A::Write(inverted)}},
        {"status busy", Fault::Status(0xFA), {A::Write(Padded(0xFA))}},
        {"status resend", Fault::Status(0xFB), {A::Write(Padded(0xFB))}},
        {"status not supported", Fault::Status(0xF9), {A::Write(Padded(0xF9))}},
        {"status of no meaning", Fault::Status(0x42), {A::Write(Padded(0x42))}},
        {"wrong ack in block mode", Fault::WrongAck(0, 0xFD), {A::Write(QByteArray(1, char(0xFD)))}},
        {"drop", Fault::Drop(200), {A::Drop(200)}},
        {"delayed split",
         Fault::SplitReply(1, 10).WithDelay(30),
         {A::Wait(30), A::Write(reply.first(1)), A::Wait(10), A::Write(reply.sliced(1))}},
    };
    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::Off);
    for (const auto& c : cases) {
        protocol_.Faults().Set(kIdentify, kEveryArrival, c.fault);
        EXPECT_EQ(Text(protocol_.Receive(frame_, 0)), Text(c.expected)) << c.what;
    }
}

TEST_F(UnitProtocolTest, FaultsFollowTheArrivalNumber)
{
    protocol_.Faults().Set(kIdentify, 2, Fault::Silence());
    protocol_.Faults().Set(kIdentify, 4, Fault::Status(0xFB));
    for (const QByteArray& e :
         {IdentifyReply(), QByteArray(), IdentifyReply(), Padded(0xFB), IdentifyReply()})
        EXPECT_EQ(Send(frame_), e);

    protocol_.Faults().Set(kIdentify, kEveryArrival, Fault::BadCheck());
    EXPECT_EQ(Send(frame_).back(), char(~quint8(IdentifyReply().back())))
        << "arrival 6 has no fault of its own";
    protocol_.ResetArrivals();
    protocol_.Faults().Clear();
    EXPECT_EQ(Send(frame_), IdentifyReply());
    EXPECT_EQ(protocol_.Arrivals(kIdentify), 1);
}

TEST_F(UnitProtocolTest, HandshakeFaultsActOnTheirRequestByte)
{
    protocol_.SetHandshakePolicy(kIdentify, HandshakePolicy::On);
    // After a changed acknowledgement the unit waits for a new request; the request is sent byte
    // by byte, as the server does, up to the fault.
    const struct
    {
        const char* what;
        Fault fault;
        QByteArray expected;
    } cases[] = {
        {"silence at the command byte", Fault::Silence().AtStep(0), {}},
        {"wrong ack at byte 3", Fault::WrongAck(3, 0xFB), kAcks.first(3) + "\xFB"},
        {"busy at byte 5", Fault::WrongAck(5, 0xFA), kAcks.first(5) + "\xFA"},
        {"refusal of the command byte", Fault::WrongAck(0, 0xFE), QByteArray(1, char(0xFE))},
        {"reply fault", Fault::Status(0xFB), kAcks + Padded(0xFB)},
        {"silence at the reply", Fault::Silence(), kAcks},
    };
    for (const auto& c : cases) {
        protocol_.Reset();
        protocol_.Faults().Set(kIdentify, kEveryArrival, c.fault);
        QByteArray written;
        for (int i = 0; i < 15; ++i) {
            written += Send(frame_.sliced(i, 1), i);
            if (i == c.fault.step)
                break;
        }
        EXPECT_EQ(written.toHex(' '), c.expected.toHex(' ')) << c.what;
    }

    // A request ended by a fault leaves the unit ready for the next; a delayed ack keeps it going.
    protocol_.Reset();
    protocol_.ResetArrivals();
    protocol_.Faults().Clear();
    protocol_.Faults().Set(kIdentify, 1, Fault::WrongAck(3, 0xFB));
    protocol_.Faults().Set(kIdentify, 2, Fault::Delay(30).AtStep(2));
    Send(frame_.first(4));
    const SimActions actions = protocol_.Receive(frame_, 1);
    ASSERT_EQ(actions.size(), 16u);
    EXPECT_EQ(actions[2].kind, SimAction::Kind::Wait);
    EXPECT_EQ(actions[2].ms, 30);
    EXPECT_EQ(WrittenBytes(actions), kAcks + IdentifyReply());
    EXPECT_EQ(protocol_.Arrivals(kIdentify), 2);
}

} // namespace
