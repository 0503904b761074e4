#include <scan/terminal_command.h>

#include <gtest/gtest.h>

TEST(TerminalCommand, AlarmConditionFrame)
{
    for (const char* attributes : {"abcd;7", "abcd;75"}) {
        const auto c = BuildTerminalCommand(RequestAlarmCondition, QString::fromLatin1(attributes), 20);
        ASSERT_TRUE(c) << attributes;
        EXPECT_EQ(c->frame[0], 9);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&c->frame[1]), 5), QByteArray("abcd\0", 5));
        EXPECT_EQ(c->frame[10], 7);
        EXPECT_EQ(c->mirrorValue, 7);
        EXPECT_EQ(c->dataLength, 11);
    }
}

TEST(TerminalCommand, LongCodeCutAndEmptyCode)
{
    const auto c = BuildTerminalCommand(RequestAlarmCondition, QStringLiteral("123456789AB;3"), 20);
    ASSERT_TRUE(c);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&c->frame[1]), 9), QByteArray("12345678\0", 9));
    EXPECT_EQ(c->frame[10], 3);
    const auto e = BuildTerminalCommand(RequestRelayB, QStringLiteral(";0"), 20);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->frame[1], 0);
}

TEST(TerminalCommand, RelaySwitch)
{
    const struct
    {
        const char* attributes;
        quint8 byte10, mirror;
    } cases[] = {{"c;0", 0x00, 0}, {"c;1", 0xFF, 1}, {"c;x", 0xFF, 1}, {"c;", 0xFF, 1}};
    for (const auto& t : cases) {
        const auto c = BuildTerminalCommand(RequestRelayB, QString::fromLatin1(t.attributes), 20);
        ASSERT_TRUE(c) << t.attributes;
        EXPECT_EQ(c->frame[0], 6);
        EXPECT_EQ(c->frame[10], t.byte10) << t.attributes;
        EXPECT_EQ(c->mirrorValue, t.mirror);
        EXPECT_EQ(c->dataLength, 11);
    }
}

TEST(TerminalCommand, SensorAlarmFrame)
{
    const auto c = BuildTerminalCommand(RequestSensorAlarm, QStringLiteral("c;12;1"), 20);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->frame[0], 32);
    EXPECT_EQ(c->frame[10], 11);
    EXPECT_EQ(c->frame[11], 1);
    EXPECT_EQ(c->sensorNumber, 12);
    EXPECT_EQ(c->dataLength, 12);
    // A whole decimal number with leading zeros is still that number.
    const auto padded = BuildTerminalCommand(RequestSensorAlarm, QStringLiteral("c;012;1"), 20);
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->sensorNumber, 12);
    const auto off = BuildTerminalCommand(RequestSensorAlarm, QStringLiteral("c;1;0"), 8);
    ASSERT_TRUE(off);
    EXPECT_EQ(off->frame[11], 0);
    EXPECT_EQ(off->mirrorValue, 0);
}

TEST(TerminalCommand, MalformedAttributesBuildNothing)
{
    const struct
    {
        int type;
        const char* attributes;
        int sensorInputs;
    } cases[] = {
        {1, "", 20},        {1, "1234", 20},
        {1, "1234;", 20},   {1, "1234;x", 20},
        {2, "no sep", 20},  {3, "c;12", 20},
        {3, "c;;1", 20},    {3, "c;x2;1", 20},
        {3, "c;0;1", 20},   {3, "c;21;1", 20},
        {3, "c;9;1", 8},    {3, "c;256;1", 255},
        {3, "c;-1;1", 20},  {3, "c;99999999999;1", 20},
        {3, "c;1.5;1", 20}, {3, "c;+3;1", 20},
        {3, "c; 3;1", 20},  {3, "c;3 ;1", 20},
        {3, "c;1e1;1", 20}, {3, "c;0x3;1", 20},
        {1, "c;+3", 20},    {1, "c; 3", 20},
        {1, "c;-1", 20},
    };
    for (const auto& t : cases)
        EXPECT_FALSE(BuildTerminalCommand(t.type, QString::fromLatin1(t.attributes), t.sensorInputs))
            << t.type << " " << t.attributes;
}

TEST(TerminalCommand, OnlyTheWholeNumbersOneToThreeAreServed)
{
    const QVariant notServed[] = {QVariant(),
                                  QVariant(4),
                                  QVariant(0),
                                  QVariant(-1),
                                  QVariant(qlonglong(4294967298)), // 2 in its low 32 bits
                                  QVariant(qlonglong(65538)),      // 2 in its low 16 bits
                                  QVariant(qulonglong(4294967298ULL)),
                                  QVariant(1.5),
                                  QVariant(2.9),
                                  QVariant(QStringLiteral("abc")),
                                  QVariant(QStringLiteral("2 ")),
                                  QVariant(QByteArray("\x02", 1))};
    for (const QVariant& type : notServed)
        EXPECT_FALSE(ServedRequestType(type)) << type.toString().toStdString() << " " << type.typeName();
    EXPECT_EQ(ServedRequestType(QVariant(3)), 3);
    EXPECT_EQ(ServedRequestType(QVariant(qlonglong(1))), 1);
    EXPECT_EQ(ServedRequestType(QVariant::fromValue(short(2))), 2);
}

TEST(TerminalCommand, ReplyCodes)
{
    EXPECT_EQ(TerminalReply(1, LinkOk, 0xFF), ReplyDone);
    EXPECT_EQ(TerminalReply(1, LinkOk, 0x00), ReplyRefused);
    EXPECT_EQ(TerminalReply(1, LinkOk, 0x01), ReplyFailed);
    EXPECT_EQ(TerminalReply(2, LinkMenuBusy, 0), ReplyMenuBusy);
    EXPECT_EQ(TerminalReply(2, LinkNoAnswer, 0), ReplyUnavailable);
    EXPECT_EQ(TerminalReply(2, LinkFailure, 0), ReplyUnavailable);
    EXPECT_EQ(TerminalReply(1, LinkNotSupported, 0), ReplyUnavailable);
    EXPECT_EQ(TerminalReply(2, LinkNotSupported, 0), ReplyUnavailable);
    EXPECT_EQ(TerminalReply(3, LinkNotSupported, 0), ReplyFailed);
}
