#include "hex_text.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<quint8>;

TEST(HexText, FormatsBytes)
{
    EXPECT_EQ(Hex2(0), "00");
    EXPECT_EQ(Hex2(5), "05");
    EXPECT_EQ(Hex2(0xA0), "A0");
    EXPECT_EQ(Hex2(255), "FF");
}

TEST(HexText, NameCodesAlwaysEndInZero)
{
    struct Case
    {
        Bytes bytes;
        qsizetype start;
        QString expected;
    };
    const Case cases[] = {
        {{0x80, 0xFF, 0x04, 0x00}, 0, "80FF0400"},
        {{0x80, 0x81, 0x00, 0x31}, 0, "808100"},
        {{0x80, 0x81, 0x00, 0x31}, 2, "00"},
        {{0x80, 0x81, 0x00, 0x31}, 3, "3100"}, // the buffer end ends the name
        {{0x80, 0x81, 0x00, 0x31}, 4, "00"},
        {{0x80, 0x81, 0x00, 0x31}, -1, "00"},
        {{0x0A, 0x00}, 0, "0A00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes) + " at " + std::to_string(c.start));
        EXPECT_EQ(HexZString(c.bytes, c.start), c.expected);
    }
}

TEST(HexText, IntelHexChecksum)
{
    struct Case
    {
        QString record;
        QString expected;
    };
    const Case cases[] = {
        {":00000001", "FF"},
        {":10000000" + QString(32, '0'), "F0"},
        {":10010000214601360121470136007EFE09D21901", "40"},
        {":02000000807E", "00"}, // pairs summing to 256
        {":0000000a", "F6"},
        {":0000000Z", "00"}, // a pair that is not hex counts as 0
        {":0F", "F1"},
        {":F", "F1"}, // a lone last digit counts as its own value
        {":", "00"},
        {"", "00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record.toStdString());
        EXPECT_EQ(IntelHexChecksum(c.record), c.expected);
    }
}

TEST(HexText, ScrambleSwapsUpperCaseHexDigitsOnly)
{
    struct Case
    {
        QString text;
        QString expected;
    };
    const Case cases[] = {
        {":00000001FF", ":88888889BB"},
        {"0123456789ABCDEF", "8976543201DFEACB"},
        {":abcdefGXYZ", ":abcdefGXYZ"},
        {QStringLiteral("Α0ώ"), QStringLiteral("Α8ώ")},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ScrambleHexDigits(c.text), c.expected);
        EXPECT_EQ(ScrambleHexDigits(c.expected), c.text);
    }
}
