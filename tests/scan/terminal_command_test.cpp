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
        const char* frame;
        int mirror, sensor;
    } cases[] = {
        {1, "abcd;7", "09 61 62 63 64 00 00 00 00 00 07", 7, 0},
        {1, "abcd;75", "09 61 62 63 64 00 00 00 00 00 07", 7, 0},
        {1, "123456789AB;3", "09 31 32 33 34 35 36 37 38 00 03", 3, 0},
        {2, ";0", "06 00 00 00 00 00 00 00 00 00 00", 0, 0},
        {2, "c;1", "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {2, "c;x", "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {2, "c;", "06 63 00 00 00 00 00 00 00 00 ff", 1, 0},
        {3, "c;12;1", "20 63 00 00 00 00 00 00 00 00 0b 01", 1, 12},
        {3, "c;012;1", "20 63 00 00 00 00 00 00 00 00 0b 01", 1, 12}, // leading zeros: still decimal
        {3, "c;1;0", "20 63 00 00 00 00 00 00 00 00 00 00", 0, 1},
        // Any number from 1 to 255 is sent: whether the unit has that sensor is its own answer.
        {3, "c;21;1", "20 63 00 00 00 00 00 00 00 00 14 01", 1, 21},
        {3, "c;255;0", "20 63 00 00 00 00 00 00 00 00 fe 00", 0, 255},
        {1, "", nullptr, 0, 0},
        {1, "1234", nullptr, 0, 0},
        {1, "1234;", nullptr, 0, 0},
        {1, "1234;x", nullptr, 0, 0},
        {2, "no sep", nullptr, 0, 0},
        {3, "c;12", nullptr, 0, 0},
        {3, "c;;1", nullptr, 0, 0},
        {3, "c;x2;1", nullptr, 0, 0},
        {3, "c;0;1", nullptr, 0, 0},
        {3, "c;256;1", nullptr, 0, 0},
        {3, "c;-1;1", nullptr, 0, 0},
        {3, "c;1.5;1", nullptr, 0, 0},
        {3, "c;+3;1", nullptr, 0, 0},
        {3, "c; 3;1", nullptr, 0, 0},
        {3, "c;3 ;1", nullptr, 0, 0},
        {3, "c;1e1;1", nullptr, 0, 0},
        {3, "c;0x3;1", nullptr, 0, 0},
        {1, "c;+3", nullptr, 0, 0},
        {1, "c; 3", nullptr, 0, 0},
        {1, "c;-1", nullptr, 0, 0},
        {3, "c;99999999999;1", nullptr, 0, 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.type << " " << t.attributes);
        const auto c = BuildTerminalCommand(t.type, QString::fromLatin1(t.attributes));
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
