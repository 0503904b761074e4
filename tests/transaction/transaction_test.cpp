#include "link_bench.h"
#include "unit_replies.h"

#include "frame.h"
#include "reply_length.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

constexpr quint8 kIdentify = 7;     // reply length 34
constexpr quint8 kAlarm = 9;        // reply length 2
constexpr quint8 kUploadBegin = 11; // reply length 2, the one command sent in HandshakeMode
constexpr quint8 kLogPage = 3;      // reply length 265, longer waits
constexpr quint8 kSentinel = 0xAA;

const LinkTimings kT = TestTimings();
const int BP = kT.blockPause;
const int HP = kT.handshakePause;

struct Case
{
    const char* name;
    bool blockMode;
    quint8 command;
    PeerScript script;
    LinkResult expected;
    std::vector<int> pauses;
    std::vector<int> sent;   // request bytes sent in each attempt, in order
    QByteArray replyPayload; // what the reply buffer holds afterwards; empty: untouched
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

PeerScript Blocks(std::initializer_list<PeerStep> steps)
{
    return PeerScript(steps);
}

PeerScript Repeat(const PeerScript& part, int times)
{
    PeerScript script;
    for (int i = 0; i < times; ++i)
        script.insert(script.end(), part.begin(), part.end());
    return script;
}

const std::vector<Case> kCases = {
    // BlockMode
    {"BlockOk", true, kIdentify, Blocks({Block(DataReply(kIdentify))}), LinkOk, {}, {15}, Payload(kIdentify)},
    {"BlockStatusByteOnlyTimesOutThrice",
     true,
     kIdentify,
     Repeat({Block(Byte(StatusData))}, 3),
     LinkNoAnswer,
     {BP, BP},
     {15, 15, 15},
     {}},
    {"BlockRetryThenTwoTimeouts",
     true,
     kIdentify,
     Blocks({Block(StatusReply(StatusRetry, kIdentify)), Block(), Block()}),
     LinkNoAnswer,
     {BP},
     {15, 15, 15},
     {}},
    {"BlockTwoTimeoutsThenBadCheck",
     true,
     kIdentify,
     Blocks({Block(), Block(), Block(BadCheckReply(kIdentify))}),
     LinkFailure,
     {BP, BP},
     {15, 15, 15},
     BadCheckReply(kIdentify).mid(1)},
    {"BlockNotSupported",
     true,
     kIdentify,
     Blocks({Block(StatusReply(StatusNotSupported, kIdentify))}),
     LinkNotSupported,
     {},
     {15},
     {}},
    {"BlockMenuBusyAfterTimeout",
     true,
     kIdentify,
     Blocks({Block(), Block(StatusReply(StatusMenuBusy, kIdentify))}),
     LinkMenuBusy,
     {BP},
     {15, 15},
     {}},
    {"BlockUnexpectedStatusThrice",
     true,
     kIdentify,
     Repeat({Block(StatusReply(0x00, kIdentify))}, 3),
     LinkFailure,
     {BP, BP},
     {15, 15, 15},
     {}},
    {"BlockRetryThrice",
     true,
     kIdentify,
     Repeat({Block(StatusReply(StatusRetry, kIdentify))}, 3),
     LinkFailure,
     {},
     {15, 15, 15},
     {}},
    {"BlockBadCheckThenOk",
     true,
     kIdentify,
     Blocks({Block(BadCheckReply(kIdentify)), Block(DataReply(kIdentify, 9))}),
     LinkOk,
     {},
     {15, 15},
     Payload(kIdentify, 9)},
    {"BlockBytesBeyondReplyIgnored",
     true,
     kIdentify,
     Blocks({Block(DataReply(kIdentify) + "\x01\x02")}),
     LinkOk,
     {},
     {15},
     Payload(kIdentify)},
    {"BlockLengthTwoEqual", true, kAlarm, Blocks({Block("\xFC\x42\x42")}), LinkOk, {}, {15}, "\x42\x42"},
    {"BlockLengthTwoDiffer",
     true,
     kAlarm,
     Repeat({Block("\xFC\x42\x43")}, 3),
     LinkFailure,
     {},
     {15, 15, 15},
     "\x42\x43"},
    {"BlockLogPageWaitsLonger",
     true,
     kLogPage,
     Blocks({Block(DataReply(kLogPage), 200)}),
     LinkOk,
     {},
     {15},
     Payload(kLogPage)},
    {"BlockReplyTogetherWithTimeoutCounts",
     true,
     kIdentify,
     Blocks({Block(DataReply(kIdentify), 0, 160)}),
     LinkOk,
     {},
     {15},
     Payload(kIdentify)},

    // HandshakeMode
    {"HandshakeOk",
     false,
     kIdentify,
     HandshakeAccepted(DataReply(kIdentify)),
     LinkOk,
     {},
     {15},
     Payload(kIdentify)},
    {"HandshakeSilenceAfterFirstByte",
     false,
     kIdentify,
     HandshakeAnsweredAt(0, {}),
     LinkNoAnswer,
     {},
     {1},
     {}},
    {"HandshakeLaterSilencesFail",
     false,
     kIdentify,
     Join({HandshakeAnsweredAt(3, {}), HandshakeAnsweredAt(0, {}), HandshakeAnsweredAt(0, {})}),
     LinkFailure,
     {},
     {4, 1, 1},
     {}},
    {"HandshakeNakThrice",
     false,
     kIdentify,
     Repeat(HandshakeAnsweredAt(0, Byte(NakCommandByte)), 3),
     LinkNotSupported,
     {},
     {1, 1, 1},
     {}},
    {"HandshakeNotSupportedAsFinalStatus",
     false,
     kIdentify,
     Repeat(HandshakeAccepted(StatusReply(StatusNotSupported, kIdentify)), 3),
     LinkFailure,
     {HP, HP},
     {15, 15, 15},
     {}},
    {"HandshakeDataAckToCommandByte",
     false,
     kIdentify,
     Join({HandshakeAnsweredAt(0, Byte(AckDataByte)), HandshakeAccepted(DataReply(kIdentify))}),
     LinkOk,
     {HP},
     {1, 15},
     Payload(kIdentify)},
    {"HandshakeCommandAckToDataByte",
     false,
     kIdentify,
     Repeat(HandshakeAnsweredAt(1, Byte(AckCommandByte)), 3),
     LinkFailure,
     {HP, HP},
     {2, 2, 2},
     {}},
    {"HandshakeNakToDataByte",
     false,
     kIdentify,
     Join({HandshakeAnsweredAt(5, Byte(NakCommandByte)), HandshakeAccepted(DataReply(kIdentify))}),
     LinkOk,
     {HP},
     {6, 15},
     Payload(kIdentify)},
    {"HandshakeStatusDataAsAck",
     false,
     kIdentify,
     Join({HandshakeAnsweredAt(0, Byte(StatusData)), HandshakeAccepted(DataReply(kIdentify))}),
     LinkOk,
     {HP},
     {1, 15},
     Payload(kIdentify)},
    {"HandshakeRetryAcksNoPause",
     false,
     kIdentify,
     Join({HandshakeAnsweredAt(0, Byte(StatusRetry)), HandshakeAnsweredAt(7, Byte(StatusRetry)),
           HandshakeAccepted(DataReply(kIdentify))}),
     LinkOk,
     {},
     {1, 8, 15},
     Payload(kIdentify)},
    {"HandshakeMenuBusyMidFrame",
     false,
     kIdentify,
     HandshakeAnsweredAt(5, Byte(StatusMenuBusy)),
     LinkMenuBusy,
     {},
     {6},
     {}},
    {"HandshakeFinalSilenceThrice",
     false,
     kIdentify,
     Repeat(HandshakeAccepted({}), 3),
     LinkFailure,
     {},
     {15, 15, 15},
     {}},
    {"HandshakeAckAsFinalStatus",
     false,
     kIdentify,
     Join({HandshakeAccepted(StatusReply(AckCommandByte, kIdentify)),
           HandshakeAccepted(DataReply(kIdentify))}),
     LinkOk,
     {HP},
     {15, 15},
     Payload(kIdentify)},
    {"HandshakeBadCheckThenOk",
     false,
     kIdentify,
     Join({HandshakeAccepted(BadCheckReply(kIdentify)), HandshakeAccepted(DataReply(kIdentify, 3))}),
     LinkOk,
     {},
     {15, 15},
     Payload(kIdentify, 3)},
    {"HandshakeFinalMenuBusy",
     false,
     kIdentify,
     HandshakeAccepted(StatusReply(StatusMenuBusy, kIdentify)),
     LinkMenuBusy,
     {},
     {15},
     {}},
    {"HandshakeLengthTwo",
     false,
     kUploadBegin,
     HandshakeAccepted(Byte(StatusData) + QByteArray(2, '\0')),
     LinkOk,
     {},
     {15},
     QByteArray(2, '\0')},
    {"HandshakeLogPageWaitsLonger",
     false,
     kLogPage,
     HandshakeAccepted(DataReply(kLogPage), 200),
     LinkOk,
     {},
     {15},
     Payload(kLogPage)},
};

class UnitLinkTransaction : public testing::TestWithParam<std::tuple<Case, Wire>>
{
};

TEST_P(UnitLinkTransaction, AttemptsPausesAndResult)
{
    const auto& [c, wire] = GetParam();
    LinkBench bench(wire);
    ASSERT_TRUE(bench.Ready());
    bench.Peer().SetScript(c.script);

    RequestFrame request{};
    request[0] = c.command;
    request[1] = 0x11; // flow-control and line-end bytes must pass untouched
    request[2] = 0x13;
    request[3] = 0x0D;
    const RequestFrame sentFrame = {
        c.command, 0x11, 0x13, 0x0D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, quint8(c.command ^ 0x11 ^ 0x13 ^ 0x0D)};
    ReplyBuffer reply;
    reply.fill(kSentinel);

    EXPECT_EQ(bench.Transact(request, 4, c.blockMode, reply), c.expected);
    EXPECT_EQ(request, sentFrame);
    EXPECT_EQ(bench.Pauses(), c.pauses);
    EXPECT_FALSE(bench.Peer().Overrun()) << "a byte was sent before the previous one was answered";

    QByteArray expectedSent;
    for (int count : c.sent)
        expectedSent += QByteArray(reinterpret_cast<const char*>(sentFrame.data()), count);
    EXPECT_EQ(bench.Peer().Received().toHex(' '), expectedSent.toHex(' '));

    const int n = ReplyLength(c.command);
    const QByteArray held(reinterpret_cast<const char*>(reply.data()), n);
    if (c.replyPayload.isEmpty())
        EXPECT_EQ(held, QByteArray(n, char(kSentinel)));
    else
        EXPECT_EQ(held.toHex(' '), c.replyPayload.toHex(' '));
    EXPECT_EQ(reply[n], kSentinel) << "the link wrote past the payload";
}

INSTANTIATE_TEST_SUITE_P(, UnitLinkTransaction,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::Values(Wire::Serial, Wire::Tcp)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    WireName(std::get<1>(info.param));
                         });

} // namespace
