#include "ansi_text.h"
#include "guarded_buffer.h"
#include "zstring.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<quint8>;

TEST(ZString, ReadsUpToTheZeroByteOrTheBufferEnd)
{
    struct Case
    {
        Bytes bytes;
        qsizetype start;
        QString expected;
    };
    const Case cases[] = {
        {{0x41, 0x42, 0x00, 0x43}, 0, "AB"},
        {{0x41, 0x42, 0x00, 0x43}, 2, ""},
        {{0x41, 0x42, 0x00, 0x43}, 3, "C"}, // no 0 byte before the end
        {{0x41, 0x42, 0x00, 0x43}, 4, ""},
        {{0x41, 0x42, 0x00, 0x43}, 5, ""},
        {{0x41, 0x42, 0x00, 0x43}, -1, ""},
        {{0x31, 0x2A, 0x23, 0x70}, 0, "1*#p"},
        {{0xC1, 0xE2, 0xD3, 0xF2, 0x80, 0x00}, 0, QStringLiteral("ΑβΣς€")},
        {{}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes) + " at " + std::to_string(c.start));
        const QString text = ReadZString(c.bytes, c.start);
        EXPECT_EQ(text, c.expected);
        // An empty field is stored as an empty text: a null one would be stored as Null.
        EXPECT_FALSE(text.isNull());
    }
}

TEST(ZString, WritesTextAndZeroByteOnlyWhenTheyFit)
{
    struct Case
    {
        QString text;
        std::size_t size;
        qsizetype start;
        Bytes expected; // empty: nothing written
    };
    const Case cases[] = {
        {"", 1, 0, {0x00}},
        {"123*#p", 8, 1, {0xA5, 0x31, 0x32, 0x33, 0x2A, 0x23, 0x70, 0x00}},
        {QStringLiteral("Αβé"), 4, 0, {0xC1, 0xE2, '?', 0x00}},
        {"1234", 4, 0, {}},
        {"", 4, 4, {}},
        {"1", 4, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        GuardedBuffer buffer(c.size);
        EXPECT_EQ(WriteZString(buffer.Visible(), c.start, c.text), !c.expected.empty());
        if (c.expected.empty()) {
            EXPECT_TRUE(buffer.Untouched());
        } else {
            EXPECT_EQ(Bytes(buffer.Visible().begin(), buffer.Visible().end()), c.expected);
        }
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(AnsiText, CodePageIsOneToOne)
{
    int defined = 0;
    for (int code = 0; code < 256; ++code) {
        const QChar c = AnsiChar(quint8(code));
        if (c == QChar(0xFFFD)) {
            EXPECT_GE(code, 0x80);
            continue;
        }
        ++defined;
        EXPECT_EQ(AnsiCode(c), code) << code;
    }
    EXPECT_EQ(defined, 256 - 17);             // the Greek code page leaves 17 codes undefined
    EXPECT_EQ(AnsiChar(0xD3), QChar(0x03A3)); // Σ
    EXPECT_EQ(AnsiChar(0xA2), QChar(0x0386)); // Ά
    EXPECT_EQ(AnsiChar(0xFE), QChar(0x03CE)); // ώ
    EXPECT_EQ(AnsiCode(QChar(0x00E9)), '?');
    EXPECT_EQ(AnsiCode(QChar(0xFFFD)), '?');
}
