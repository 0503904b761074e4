// The server's link against the simulated unit: each misbehaviour of the unit, on each kind of line,
// ends in the result and the pauses that the unit protocol's attempt rules give.
#include "short_link_timings.h"
#include "sim_line.h"

#include "reply_length.h"
#include "sim_fault_script.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using unitsim::Fault;
using unitsim::kEveryArrival;

namespace {

constexpr quint8 kIdentify = 7;     // answered by the unit
constexpr quint8 kPowerConfig = 2;  // not supported by the unit
constexpr quint8 kLogPage = 3;      // waited for longer
constexpr quint8 kAlarm = 9;        // a two-byte reply: its bytes must be equal
constexpr quint8 kUploadBegin = 11; // a two-byte reply, sent in handshake mode
constexpr quint8 kSentinel = 0xAA;

const LinkTimings kT = ShortLinkTimings();
const int BP = kT.blockPause;
const int HP = kT.handshakePause;
// Replies late for one wait and in time for the next longer one.
const int kPastBlockWait = (kT.blockReplyWait + kT.handshakeWait) / 2;
const int kPastBlockLogPageWait = (kT.blockReplyWait + kT.blockLogPageReplyWait) / 2;
const int kPastHandshakeLogPageWait = (kT.handshakeWait + kT.handshakeLogPageReplyWait) / 2;

struct Case
{
    const char* name;
    bool blockMode;
    quint8 command;
    std::vector<std::pair<int, Fault>> faults; // by arrival, or kAll
    LinkResult expected;
    std::vector<int> pauses;
    int attempts; // requests the unit saw begin
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

using F = Fault;
constexpr int kAll = kEveryArrival;
constexpr bool kBlock = true;
constexpr bool kHandshake = false;

// One case a line.
// clang-format off
const std::vector<Case> kCases = {
    {"Normal", kBlock, kIdentify, {}, LinkOk, {}, 1},
    {"DelayWithinTheWait", kBlock, kIdentify, {{1, F::delay(60)}}, LinkOk, {}, 1},
    {"LateReplyThenOk", kBlock, kIdentify, {{1, F::delay(kPastBlockWait)}}, LinkOk, {BP}, 2},
    {"LogPageWaitsLonger", kBlock, kLogPage, {{1, F::delay(kPastBlockLogPageWait)}}, LinkOk, {}, 1},
    {"SilenceThrice", kBlock, kIdentify, {{kAll, F::silence()}}, LinkNoAnswer, {BP, BP}, 3},
    {"ShortReplyThrice", kBlock, kIdentify, {{kAll, F::shortReply(1)}}, LinkNoAnswer, {BP, BP}, 3},
    {"LoneByteThrice", kBlock, kIdentify, {{kAll, F::wrongAck(0, AckCommandByte)}}, LinkNoAnswer, {BP, BP}, 3},
    {"LongReply", kBlock, kIdentify, {{kAll, F::longReply(3, 0x55)}}, LinkOk, {}, 1},
    {"SplitReply", kBlock, kIdentify, {{1, F::splitReply(10, 60)}}, LinkOk, {}, 1},
    {"GarbagePrefixThrice", kBlock, kIdentify, {{kAll, F::garbagePrefix(3, 0x00)}}, LinkFailure, {BP, BP}, 3},
    {"BadCheckThenOk", kBlock, kIdentify, {{1, F::badCheck()}}, LinkOk, {}, 2},
    {"BadCheckThrice", kBlock, kIdentify, {{kAll, F::badCheck()}}, LinkFailure, {}, 3},
    {"ResendThenOk", kBlock, kIdentify, {{1, F::status(StatusRetry)}}, LinkOk, {}, 2},
    {"ResendThrice", kBlock, kIdentify, {{kAll, F::status(StatusRetry)}}, LinkFailure, {}, 3},
    {"UnexpectedStatusThenOk", kBlock, kIdentify, {{1, F::status(0x00)}}, LinkOk, {BP}, 2},
    {"MenuBusy", kBlock, kIdentify, {{1, F::status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"MenuBusyAfterATimeout", kBlock, kIdentify, {{1, F::silence()}, {2, F::status(StatusMenuBusy)}}, LinkMenuBusy, {BP}, 2},
    {"NotSupported", kBlock, kPowerConfig, {}, LinkNotSupported, {}, 1},
    {"TwoByteReply", kBlock, kAlarm, {}, LinkOk, {}, 1},
    {"TwoByteReplyUnequalThrice", kBlock, kAlarm, {{kAll, F::badCheck()}}, LinkFailure, {}, 3},
    {"ResendThenTwoTimeouts", kBlock, kIdentify, {{1, F::status(StatusRetry)}, {kAll, F::silence()}}, LinkNoAnswer, {BP}, 3},
    {"TwoTimeoutsThenBadCheck", kBlock, kIdentify, {{3, F::badCheck()}, {kAll, F::silence()}}, LinkFailure, {BP, BP}, 3},

    {"Normal", kHandshake, kIdentify, {}, LinkOk, {}, 1},
    {"SlowAck", kHandshake, kIdentify, {{1, F::delay(60).atStep(5)}}, LinkOk, {}, 1},
    {"ReplyPastTheBlockWait", kHandshake, kIdentify, {{1, F::delay(kPastBlockWait)}}, LinkOk, {}, 1},
    {"LogPageWaitsLonger", kHandshake, kLogPage, {{1, F::delay(kPastHandshakeLogPageWait)}}, LinkOk, {}, 1},
    {"TwoByteReply", kHandshake, kUploadBegin, {}, LinkOk, {}, 1},
    {"SilenceToTheCommandByte", kHandshake, kIdentify, {{kAll, F::silence().atStep(0)}}, LinkNoAnswer, {}, 1},
    {"SilenceToADataByteThrice", kHandshake, kIdentify, {{kAll, F::silence().atStep(6)}}, LinkFailure, {}, 3},
    {"LaterSilenceToTheCommandByteCounts", kHandshake, kIdentify, {{1, F::wrongAck(3, StatusRetry)}, {2, F::silence().atStep(0)}}, LinkOk, {}, 3},
    {"NakThrice", kHandshake, kPowerConfig, {}, LinkNotSupported, {}, 3},
    {"DataAckToTheCommandByteThenOk", kHandshake, kIdentify, {{1, F::wrongAck(0, AckDataByte)}}, LinkOk, {HP}, 2},
    {"CommandAckToADataByteThrice", kHandshake, kIdentify, {{kAll, F::wrongAck(4, AckCommandByte)}}, LinkFailure, {HP, HP}, 3},
    {"NakToADataByteThenOk", kHandshake, kIdentify, {{1, F::wrongAck(5, NakCommandByte)}}, LinkOk, {HP}, 2},
    {"GarbageAckThenOk", kHandshake, kIdentify, {{1, F::garbagePrefix(2, 0x00).atStep(3)}}, LinkOk, {HP}, 2},
    {"MenuBusyMidFrame", kHandshake, kIdentify, {{1, F::wrongAck(7, StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"MenuBusyReply", kHandshake, kIdentify, {{1, F::status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"NotSupportedReplyThrice", kHandshake, kIdentify, {{kAll, F::status(StatusNotSupported)}}, LinkFailure, {HP, HP}, 3},
    {"ResendReplyThenOk", kHandshake, kIdentify, {{1, F::status(StatusRetry)}}, LinkOk, {}, 2},
    {"BadCheckThenOk", kHandshake, kIdentify, {{1, F::badCheck()}}, LinkOk, {}, 2},
    {"ShortReplyThrice", kHandshake, kIdentify, {{kAll, F::shortReply(1)}}, LinkFailure, {}, 3},
    {"SilentReplyThenOk", kHandshake, kIdentify, {{1, F::silence()}}, LinkOk, {}, 2},
    {"GarbageBeforeTheReplyThenOk", kHandshake, kIdentify, {{1, F::garbagePrefix(2, 0x00)}}, LinkOk, {HP}, 2},
    {"LongReply", kHandshake, kIdentify, {{kAll, F::longReply(2, 0x55)}}, LinkOk, {}, 1},
    {"SplitReply", kHandshake, kIdentify, {{1, F::splitReply(5, 60)}}, LinkOk, {}, 1},
};
// clang-format on

class LinkAttempts : public testing::TestWithParam<std::tuple<Case, Wire>>
{
};

TEST_P(LinkAttempts, ResultPausesAndAttempts)
{
    const auto& [c, wire] = GetParam();
    if (!WireAvailable(wire))
        GTEST_SKIP() << "socat is not on PATH";
    SimLine line(wire, kT);
    ASSERT_TRUE(line.Ready()) << line.Problem().toStdString();
    if (c.command != kPowerConfig)
        line.Sim().setFixedPayload(c.command, QByteArray(1, '\x42'));
    for (const auto& [arrival, fault] : c.faults)
        line.Sim().setFault(c.command, arrival, fault);

    RequestFrame request{c.command};
    ReplyBuffer reply;
    reply.fill(kSentinel);
    EXPECT_EQ(line.Transact(request, 1, c.blockMode, reply), c.expected);
    EXPECT_EQ(line.Pauses(), c.pauses);
    EXPECT_EQ(line.Sim().arrivals(c.command), c.attempts);
    if (c.expected == LinkOk) {
        EXPECT_EQ(reply[0], 0x42);
    }
    EXPECT_EQ(reply[ReplyLength(c.command)], kSentinel) << "the link wrote past the payload";

    // Whatever the unit left on the line must not spoil the next exchange.
    line.Sim().clearFaults();
    RequestFrame next{kIdentify};
    EXPECT_EQ(line.Transact(next, 1, c.blockMode, reply), LinkOk);
}

INSTANTIATE_TEST_SUITE_P(, LinkAttempts,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::Values(Wire::Pty, Wire::Tcp, Wire::DeviceServer)),
                         [](const auto& info) {
                             const Case& c = std::get<0>(info.param);
                             return std::string(c.blockMode ? "Block" : "Handshake") + c.name +
                                    WireName(std::get<1>(info.param));
                         });

} // namespace
