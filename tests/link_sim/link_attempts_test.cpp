// The server's link against the simulated unit: each misbehaviour of the unit, on each kind of line,
// ends in the result and the pauses that the unit protocol's attempt rules give.
#include "short_timings.h"
#include "sim_line.h"

#include "sim_fault_script.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using unitsim::Fault;
using unitsim::kEveryArrival;

namespace {

constexpr quint8 kIdentify = 7;    // answered by the unit
constexpr quint8 kPowerConfig = 2; // not supported by the unit

const LinkTimings kT = ShortTimings();
const int BP = kT.blockPause;
const int HP = kT.handshakePause;

struct Case
{
    const char* name;
    bool blockMode;
    quint8 command;
    std::vector<std::pair<int, Fault>> faults; // by arrival, or kEveryArrival
    LinkResult expected;
    std::vector<int> pauses;
    int attempts; // requests the unit saw begin
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

const std::vector<Case> kCases = {
    // BlockMode
    {"BlockNormal", true, kIdentify, {}, LinkOk, {}, 1},
    {"BlockDelayWithinTheWait", true, kIdentify, {{1, Fault::delay(60)}}, LinkOk, {}, 1},
    {"BlockLateReplyThenOk", true, kIdentify, {{1, Fault::delay(kT.blockReplyWait + 50)}}, LinkOk, {BP}, 2},
    {"BlockSilenceThrice", true, kIdentify, {{kEveryArrival, Fault::silence()}}, LinkNoAnswer, {BP, BP}, 3},
    {"BlockShortReplyThrice",
     true,
     kIdentify,
     {{kEveryArrival, Fault::shortReply(1)}},
     LinkNoAnswer,
     {BP, BP},
     3},
    {"BlockLoneByteThrice",
     true,
     kIdentify,
     {{kEveryArrival, Fault::wrongAck(0, AckCommandByte)}},
     LinkNoAnswer,
     {BP, BP},
     3},
    {"BlockLongReply", true, kIdentify, {{kEveryArrival, Fault::longReply(3, 0x55)}}, LinkOk, {}, 1},
    {"BlockSplitReply", true, kIdentify, {{1, Fault::splitReply(10, 60)}}, LinkOk, {}, 1},
    {"BlockGarbagePrefixThrice",
     true,
     kIdentify,
     {{kEveryArrival, Fault::garbagePrefix(3, 0x00)}},
     LinkFailure,
     {BP, BP},
     3},
    {"BlockBadCheckThenOk", true, kIdentify, {{1, Fault::badCheck()}}, LinkOk, {}, 2},
    {"BlockBadCheckThrice", true, kIdentify, {{kEveryArrival, Fault::badCheck()}}, LinkFailure, {}, 3},
    {"BlockResendThenOk", true, kIdentify, {{1, Fault::status(StatusRetry)}}, LinkOk, {}, 2},
    {"BlockResendThrice", true, kIdentify, {{kEveryArrival, Fault::status(StatusRetry)}}, LinkFailure, {}, 3},
    {"BlockUnexpectedStatusThenOk", true, kIdentify, {{1, Fault::status(0x00)}}, LinkOk, {BP}, 2},
    {"BlockMenuBusy", true, kIdentify, {{1, Fault::status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"BlockMenuBusyAfterATimeout",
     true,
     kIdentify,
     {{1, Fault::silence()}, {2, Fault::status(StatusMenuBusy)}},
     LinkMenuBusy,
     {BP},
     2},
    {"BlockNotSupported", true, kPowerConfig, {}, LinkNotSupported, {}, 1},
    {"BlockResendThenTwoTimeouts",
     true,
     kIdentify,
     {{1, Fault::status(StatusRetry)}, {kEveryArrival, Fault::silence()}},
     LinkNoAnswer,
     {BP},
     3},
    {"BlockTwoTimeoutsThenBadCheck",
     true,
     kIdentify,
     {{3, Fault::badCheck()}, {kEveryArrival, Fault::silence()}},
     LinkFailure,
     {BP, BP},
     3},

    // HandshakeMode
    {"HandshakeNormal", false, kIdentify, {}, LinkOk, {}, 1},
    {"HandshakeSlowAck", false, kIdentify, {{1, Fault::delay(60).atStep(5)}}, LinkOk, {}, 1},
    {"HandshakeSilenceToTheCommandByte",
     false,
     kIdentify,
     {{kEveryArrival, Fault::silence().atStep(0)}},
     LinkNoAnswer,
     {},
     1},
    {"HandshakeSilenceToADataByteThrice",
     false,
     kIdentify,
     {{kEveryArrival, Fault::silence().atStep(6)}},
     LinkFailure,
     {},
     3},
    {"HandshakeLaterSilenceToTheCommandByteCounts",
     false,
     kIdentify,
     {{1, Fault::wrongAck(3, StatusRetry)}, {2, Fault::silence().atStep(0)}},
     LinkOk,
     {},
     3},
    {"HandshakeNakThrice", false, kPowerConfig, {}, LinkNotSupported, {}, 3},
    {"HandshakeDataAckToTheCommandByteThenOk",
     false,
     kIdentify,
     {{1, Fault::wrongAck(0, AckDataByte)}},
     LinkOk,
     {HP},
     2},
    {"HandshakeCommandAckToADataByteThrice",
     false,
     kIdentify,
     {{kEveryArrival, Fault::wrongAck(4, AckCommandByte)}},
     LinkFailure,
     {HP, HP},
     3},
    {"HandshakeGarbageAckThenOk",
     false,
     kIdentify,
     {{1, Fault::garbagePrefix(2, 0x00).atStep(3)}},
     LinkOk,
     {HP},
     2},
    {"HandshakeMenuBusyMidFrame",
     false,
     kIdentify,
     {{1, Fault::wrongAck(7, StatusMenuBusy)}},
     LinkMenuBusy,
     {},
     1},
    {"HandshakeMenuBusyReply", false, kIdentify, {{1, Fault::status(StatusMenuBusy)}}, LinkMenuBusy, {}, 1},
    {"HandshakeNotSupportedReplyThrice",
     false,
     kIdentify,
     {{kEveryArrival, Fault::status(StatusNotSupported)}},
     LinkFailure,
     {HP, HP},
     3},
    {"HandshakeResendReplyThenOk", false, kIdentify, {{1, Fault::status(StatusRetry)}}, LinkOk, {}, 2},
    {"HandshakeBadCheckThenOk", false, kIdentify, {{1, Fault::badCheck()}}, LinkOk, {}, 2},
    {"HandshakeShortReplyThrice",
     false,
     kIdentify,
     {{kEveryArrival, Fault::shortReply(1)}},
     LinkFailure,
     {},
     3},
    {"HandshakeSilentReplyThenOk", false, kIdentify, {{1, Fault::silence()}}, LinkOk, {}, 2},
    {"HandshakeGarbageBeforeTheReplyThenOk",
     false,
     kIdentify,
     {{1, Fault::garbagePrefix(2, 0x00)}},
     LinkOk,
     {HP},
     2},
    {"HandshakeLongReply", false, kIdentify, {{kEveryArrival, Fault::longReply(2, 0x55)}}, LinkOk, {}, 1},
    {"HandshakeSplitReply", false, kIdentify, {{1, Fault::splitReply(5, 60)}}, LinkOk, {}, 1},
};

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
    for (const auto& [arrival, fault] : c.faults)
        line.Sim().setFault(c.command, arrival, fault);

    RequestFrame request{c.command};
    ReplyBuffer reply{};
    EXPECT_EQ(line.Transact(request, 1, c.blockMode, reply), c.expected);
    EXPECT_EQ(line.Pauses(), c.pauses);
    EXPECT_EQ(line.Sim().arrivals(c.command), c.attempts);

    // Whatever the unit left on the line must not spoil the next exchange.
    line.Sim().clearFaults();
    RequestFrame next{kIdentify};
    EXPECT_EQ(line.Transact(next, 1, c.blockMode, reply), LinkOk);
}

INSTANTIATE_TEST_SUITE_P(, LinkAttempts,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::Values(Wire::Pty, Wire::Tcp, Wire::DeviceServer)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    WireName(std::get<1>(info.param));
                         });

} // namespace
