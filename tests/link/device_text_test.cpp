#include "device_text.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<quint8>;

TEST(DeviceText, DecodesLettersWordsAndCharacters)
{
    struct Case
    {
        Bytes bytes;
        QString expected;
    };
    const Case cases[] = {
        {{0x80, 0x81, 0x00}, QStringLiteral("ΑΒ")},
        {{0xFF, 0x01, 0x00}, QStringLiteral("ΘΑΛΑΜΟΣ")},
        {{0x31, 0xFF, 0x04, 0x32, 0x00}, QStringLiteral("1 ΨΥΓΕΙΟ 2")},
        {{0xFF, 0x01, 0xFF, 0x02, 0x00}, QStringLiteral("ΘΑΛΑΜΟΣ ΨΑΡΙΚΑ")},
        {{0x83, 0xFF, 0x05, 0x00}, QStringLiteral("Δ ΚΑΤΑΨΥΞΗ")},
        {{0x00}, QString()},
        {{0xFF, 0x29, 0x31, 0x00}, QStringLiteral(" 1")}, // word 41 does not exist
        {{0xFF, 0x00, 0x31, 0x00}, QStringLiteral(" 1")}, // the word number may be 0
        {{0xFF, 0x18, 0x00}, QStringLiteral("ΕΠΙΤΗΡΗΤΗΣ ΤΑΣΗΣ")},
        {{0xFF, 0x25, 0x2D, 0x31, 0x00}, QStringLiteral("SELF SERVICE -1")},
        {{0x31, 0x2D, 0x2F, 0x32, 0x00, 0x33}, QStringLiteral("1-/2")},
        {{0x90, 0x91, 0x96, 0x97, 0x00}, QStringLiteral("ΡΣΨΩ")},
        {{0xC1, 0x98, 0x00}, QStringLiteral("Α\uFFFD")}, // code-page characters beyond the capitals
        // The buffer end ends the name as a 0 byte would.
        {{0x31, 0x32}, QStringLiteral("12")},
        {{0x31, 0xFF}, QStringLiteral("1 ")}, // as 0x31 0xFF 0x00: word 0, still spaced,
        {{0xFF, 0x02}, QStringLiteral("ΨΑΡΙΚΑ")},
        {{}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        const QString text = DecodeDeviceText(c.bytes, 0);
        EXPECT_EQ(text, c.expected);
        // An empty name is stored as an empty text: a null one would be stored as Null.
        EXPECT_FALSE(text.isNull());
    }
}

TEST(DeviceText, AllCapitalsInAlphabetOrder)
{
    Bytes bytes;
    for (int code = 128; code <= 151; ++code)
        bytes.push_back(quint8(code));
    bytes.push_back(0);
    EXPECT_EQ(DecodeDeviceText(bytes, 0), QStringLiteral("ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"));
}

TEST(DeviceText, StartsAtTheGivenIndex)
{
    const Bytes bytes = {0x80, 0x00, 0x81, 0xFF, 0x28, 0x00};
    EXPECT_EQ(DecodeDeviceText(bytes, 2), QStringLiteral("Β ΜΗΧΑΝΟΣΤΑΣΙΟ"));
    EXPECT_EQ(DecodeDeviceText(bytes, 4), QStringLiteral("("));
    for (qsizetype start : {-1, 6, 7, 40000})
        EXPECT_EQ(DecodeDeviceText(bytes, start), QString()) << start;
}
