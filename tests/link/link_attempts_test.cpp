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

// One case a line. The simulated unit does not support the power configuration; a log page is
// waited for longer; the alarm condition and the settings upload begin have two-byte replies whose
// bytes must be equal.
// clang-format off
const std::vector<Case> kCases = {
    {"DelayWithinTheWait", kBlock, CmdIdentify, {{1, F::Delay(60)}}, LinkOk, {}, 1},
    {"LateReplyThenOk", kBlock, CmdIdentify, {{1, F::Delay(kPastBlockWait)}}, LinkOk, {BP}, 2},
    {"LogPageWaitsLonger", kBlock, CmdReadLogPage, {{1, F::Delay(kPastBlockLogPageWait)}}, LinkOk, {}, 1},
    {"SilenceThrice", kBlock, CmdIdentify, {{kAll, F::Silence()}}, LinkNoAnswer, {BP, BP}, 3},
    {"ShortReplyThrice", kBlock, CmdIdentify, {{kAll, F::ShortReply(1)}}, LinkNoAnswer, {BP, BP}, 3},
    {"LoneByteThrice", kBlock, CmdIdentify, {{kAll, F::WrongAck(0, AckCommandByte)}}, LinkNoAnswer, {BP, BP}, 3},
    {"LongReply", kBlock, CmdIdentify, {{kAll, F::LongReply(3, 0x55)}}, LinkOk, {}, 1},
    {"SplitReply", kBlock, CmdIdentify, {{1, F::SplitReply(10, 60)}}, LinkOk, {}, 1},
    {"GarbagePrefixThrice", kBlock, CmdIdentify, {{kAll, F::GarbagePrefix(3, 0x00)}}, LinkFailure, {BP, BP}, 3},
    {"BadCheckThenOk", kBlock, CmdIdentify, {{1, F::BadCheck()}}, LinkOk, {}, 2},
    {"BadCheckThrice", kBlock, CmdIdentify, {{kAll, F::BadCheck()}}, LinkFailure, {}, 3},
    {"ResendThenOk", kBlock, CmdIdentify, {{1, F::Status(StatusRetry)}}, LinkOk, {}, 2},
    {"ResendThrice", kBlock, CmdIdentify, {{kAll, F::Status(StatusRetry)}}, LinkFailure, {}, 3},
    {"UnexpectedStatusThenOk", kBlock, CmdIdentify, {{1, F::Status(0x00)}}, LinkOk, {BP}, 2},
    {"MenuBusy", kBlock, CmdIdentify, {{1, F::Status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"MenuBusyAfterATimeout", kBlock, CmdIdentify, {{1, F::Silence()}, {2, F::Status(StatusMenuBusy)}}, LinkMenuBusy, {BP}, 2},
    {"NotSupported", kBlock, CmdReadPowerConfig, {}, LinkNotSupported, {}, 1},
    {"TwoByteReply", kBlock, CmdSetAlarmCondition, {}, LinkOk, {}, 1},
    {"TwoByteReplyUnequalThrice", kBlock, CmdSetAlarmCondition, {{kAll, F::BadCheck()}}, LinkFailure, {}, 3},
    {"ResendThenTwoTimeouts", kBlock, CmdIdentify, {{1, F::Status(StatusRetry)}, {kAll, F::Silence()}}, LinkNoAnswer, {BP}, 3},
    {"TwoTimeoutsThenBadCheck", kBlock, CmdIdentify, {{3, F::BadCheck()}, {kAll, F::Silence()}}, LinkFailure, {BP, BP}, 3},

    {"SlowAck", kHandshake, CmdIdentify, {{1, F::Delay(60).AtStep(5)}}, LinkOk, {}, 1},
    {"ReplyPastTheBlockWait", kHandshake, CmdIdentify, {{1, F::Delay(kPastBlockWait)}}, LinkOk, {}, 1},
    {"LogPageWaitsLonger", kHandshake, CmdReadLogPage, {{1, F::Delay(kPastHandshakeLogPageWait)}}, LinkOk, {}, 1},
    {"TwoByteReply", kHandshake, CmdBeginSettingsUpload, {}, LinkOk, {}, 1},
    {"SilenceToTheCommandByte", kHandshake, CmdIdentify, {{kAll, F::Silence().AtStep(0)}}, LinkNoAnswer, {}, 1},
    {"SilenceToADataByteThrice", kHandshake, CmdIdentify, {{kAll, F::Silence().AtStep(6)}}, LinkFailure, {}, 3},
    {"LaterSilenceToTheCommandByteCounts", kHandshake, CmdIdentify, {{1, F::WrongAck(3, StatusRetry)}, {2, F::Silence().AtStep(0)}}, LinkOk, {}, 3},
    {"NakThrice", kHandshake, CmdReadPowerConfig, {}, LinkNotSupported, {}, 3},
    {"DataAckToTheCommandByteThenOk", kHandshake, CmdIdentify, {{1, F::WrongAck(0, AckDataByte)}}, LinkOk, {HP}, 2},
    {"CommandAckToADataByteThrice", kHandshake, CmdIdentify, {{kAll, F::WrongAck(4, AckCommandByte)}}, LinkFailure, {HP, HP}, 3},
    {"NakToADataByteThenOk", kHandshake, CmdIdentify, {{1, F::WrongAck(5, NakCommandByte)}}, LinkOk, {HP}, 2},
    {"GarbageAckThenOk", kHandshake, CmdIdentify, {{1, F::GarbagePrefix(2, 0x00).AtStep(3)}}, LinkOk, {HP}, 2},
    {"MenuBusyMidFrame", kHandshake, CmdIdentify, {{1, F::WrongAck(7, StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"MenuBusyReply", kHandshake, CmdIdentify, {{1, F::Status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"NotSupportedReplyThrice", kHandshake, CmdIdentify, {{kAll, F::Status(StatusNotSupported)}}, LinkFailure, {HP, HP}, 3},
    {"ResendReplyThenOk", kHandshake, CmdIdentify, {{1, F::Status(StatusRetry)}}, LinkOk, {}, 2},
    {"BadCheckThenOk", kHandshake, CmdIdentify, {{1, F::BadCheck()}}, LinkOk, {}, 2},
    {"ShortReplyThrice", kHandshake, CmdIdentify, {{kAll, F::ShortReply(1)}}, LinkFailure, {}, 3},
    {"SilentReplyThenOk", kHandshake, CmdIdentify, {{1, F::Silence()}}, LinkOk, {}, 2},
    {"GarbageBeforeTheReplyThenOk", kHandshake, CmdIdentify, {{1, F::GarbagePrefix(2, 0x00)}}, LinkOk, {HP}, 2},
    {"LongReply", kHandshake, CmdIdentify, {{kAll, F::LongReply(2, 0x55)}}, LinkOk, {}, 1},
    {"SplitReply", kHandshake, CmdIdentify, {{1, F::SplitReply(5, 60)}}, LinkOk, {}, 1},
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
    if (c.command != CmdReadPowerConfig)
        line.Sim().SetFixedPayload(c.command, QByteArray(1, '\x42'));
    for (const auto& [arrival, fault] : c.faults)
        line.Sim().SetFault(c.command, arrival, fault);

    RequestFrame request{c.command};
    ReplyBuffer reply;
    reply.fill(kSentinel);
    EXPECT_EQ(line.Transact(request, 1, c.blockMode, reply), c.expected);
    EXPECT_EQ(line.Pauses(), c.pauses);
    EXPECT_EQ(line.Sim().Arrivals(c.command), c.attempts);
    if (c.expected == LinkOk) {
        EXPECT_EQ(reply[0], 0x42);
    }
    EXPECT_EQ(reply[ReplyLength(c.command)], kSentinel) << "the link wrote past the payload";

    // Whatever the unit left on the line must not spoil the next exchange.
    line.Sim().ClearFaults();
    RequestFrame next{CmdIdentify};
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
