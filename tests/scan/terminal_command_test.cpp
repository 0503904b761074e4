#include <scan/terminal_command.h>

#include <gtest/gtest.h>

TEST(TerminalCommand, FramesAndMalformedAttributes)
{
    // The frame up to its data length: command, the code as 8 characters and a zero, value, switch;
    // none for malformed attributes.
    const struct
    {
        int type;
        const char* attributes;
        int sensorInputs;
        const char* frame;
        int mirror, sensor;
    } cases[] = {
        {1, "abcd;7", 20, "09 61 62 63 64 00 00 00 00 00 07", 7, 0},
        {1, "abcd;75", 20, "09 61 62 63 64 00 00 00 00 00 07", 7, 0},
        {1, "123456789AB;3", 20, "09 31 32 33 34 35 36 37 38 00 03", 3, 0},
        {2, ";0", 20, "06 00 00 00 00 00 00 00 00 00 00", 0, 0},
        {2, "c;1", 20, "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {2, "c;x", 20, "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {2, "c;", 20, "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {3, "c;12;1", 20, "20 63 00 00 00 00 00 00 00 00 0b 01", 1, 12},
        {3, "c;012;1", 20, "20 63 00 00 00 00 00 00 00 00 0b 01", 1, 12}, // leading zeros: still decimal
        {3, "c;1;0", 8, "20 63 00 00 00 00 00 00 00 00 00 00", 0, 1},
        {1, "", 20, nullptr, 0, 0},
        {1, "1234", 20, nullptr, 0, 0},
        {1, "1234;", 20, nullptr, 0, 0},
        {1, "1234;x", 20, nullptr, 0, 0},
        {2, "no sep", 20, nullptr, 0, 0},
        {3, "c;12", 20, nullptr, 0, 0},
        {3, "c;;1", 20, nullptr, 0, 0},
        {3, "c;x2;1", 20, nullptr, 0, 0},
        {3, "c;0;1", 20, nullptr, 0, 0},
        {3, "c;21;1", 20, nullptr, 0, 0},
        {3, "c;9;1", 8, nullptr, 0, 0},
        {3, "c;256;1", 255, nullptr, 0, 0},
        {3, "c;-1;1", 20, nullptr, 0, 0},
        {3, "c;1.5;1", 20, nullptr, 0, 0},
        {3, "c;+3;1", 20, nullptr, 0, 0},
        {3, "c; 3;1", 20, nullptr, 0, 0},
        {3, "c;3 ;1", 20, nullptr, 0, 0},
        {3, "c;1e1;1", 20, nullptr, 0, 0},
        {3, "c;0x3;1", 20, nullptr, 0, 0},
        {1, "c;+3", 20, nullptr, 0, 0},
        {1, "c; 3", 20, nullptr, 0, 0},
        {1, "c;-1", 20, nullptr, 0, 0},
        {3, "c;99999999999;1", 20, nullptr, 0, 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.type << " " << t.attributes << " " << t.sensorInputs);
        const auto c = BuildTerminalCommand(t.type, QString::fromLatin1(t.attributes), t.sensorInputs);
        ASSERT_EQ(bool(c), t.frame != nullptr);
        if (!c)
            continue;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c->frame.data()), c->dataLength).toHex(' '),
                  QByteArray(t.frame));
        EXPECT_EQ(std::pair(int(c->mirrorValue), c->sensorNumber), std::pair(t.mirror, t.sensor));
    }
}

TEST(TerminalCommand, ReplyCodes)
{
    const struct
    {
        int type;
        LinkResult result;
        quint8 answer;
        TrmReqReply reply;
    } cases[] = {
        {1, LinkOk, 0xFF, ReplyDone},
        {1, LinkOk, 0x00, ReplyRefused},
        {1, LinkOk, 0x01, ReplyFailed},
        {2, LinkMenuBusy, 0, ReplyMenuBusy},
        {2, LinkNoAnswer, 0, ReplyUnavailable},
        {2, LinkFailure, 0, ReplyUnavailable},
        {1, LinkNotSupported, 0, ReplyUnavailable},
        {2, LinkNotSupported, 0, ReplyUnavailable},
        {3, LinkNotSupported, 0, ReplyFailed},
    };
    for (const auto& t : cases)
        EXPECT_EQ(TerminalReply(t.type, t.result, t.answer), t.reply) << t.type << " " << int(t.result);
}
