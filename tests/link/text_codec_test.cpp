#include "device_text.h"
#include "hex_text.h"
#include "written_field.h"
#include "zstring.h"

#include <tuple>

TEST(ZString, ReadsUpToTheZeroByteOrTheBufferEnd)
{
    const std::tuple<Bytes, qsizetype, QString> cases[] = {
        {{0x41, 0x42, 0x00, 0x43}, 0, "AB"},
        {{0x41, 0x42, 0x00, 0x43}, 2, ""},
        {{0x41, 0x42, 0x00, 0x43}, 3, "C"}, // no 0 byte before the end
        {{0x31, 0x2A, 0x23, 0x70}, 0, "1*#p"},
        {{0xC1, 0xE2, 0xD3, 0xF2, 0x80, 0x00}, 0, QStringLiteral("ΑβΣς€")},
        {{0xA2, 0xFE, 0x98}, 0, QStringLiteral("Άώ\uFFFD")}, // 0x98 is undefined in the code page
        {{}, 0, ""},
    };
    for (const auto& [bytes, start, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes) + " at " + std::to_string(start));
        const QString text = ReadZString(bytes, start);
        EXPECT_EQ(text, expected);
        // An empty field is stored as an empty text: a null one would be stored as Null.
        EXPECT_FALSE(text.isNull());
    }
}

TEST(ZString, WritesTextAndZeroByteOnlyWhenTheyFit)
{
    const std::tuple<QString, std::size_t, qsizetype, Bytes> cases[] = {
        {"", 1, 0, {0x00}},
        {"123*#p", 8, 1, {0xA5, 0x31, 0x32, 0x33, 0x2A, 0x23, 0x70, 0x00}},
        {QStringLiteral("Αβéώ\uFFFD"), 6, 0, {0xC1, 0xE2, '?', 0xFE, '?', 0x00}},
        {"1234", 4, 0, {kFill, kFill, kFill, kFill}}, // no room for the 0 byte: nothing written
    };
    for (const auto& [text, size, start, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(Written(
                      size, [&](auto b) { return WriteZString(b, start, text); }, expected.back() == 0),
                  expected);
    }
}

TEST(HexText, FormatsBytesAndNameCodesThatAlwaysEndInZero)
{
    EXPECT_EQ(Hex2(0) + Hex2(5) + Hex2(0xA0) + Hex2(255), "0005A0FF");
    const std::tuple<Bytes, qsizetype, QString> cases[] = {
        {{0x80, 0xFF, 0x04, 0x00}, 0, "80FF0400"},
        {{0x80, 0x81, 0x00, 0x31}, 0, "808100"},
        {{0x80, 0x81, 0x00, 0x31}, 2, "00"},
        {{0x80, 0x81, 0x00, 0x31}, 3, "3100"}, // the buffer end ends the name
        {{0x0A, 0x00}, 0, "0A00"},
    };
    for (const auto& [bytes, start, expected] : cases)
        EXPECT_EQ(HexZString(bytes, start), expected) << ::testing::PrintToString(bytes) << " at " << start;
}

TEST(HexText, IntelHexChecksum)
{
    const std::pair<QString, QString> cases[] = {
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
    for (const auto& [record, expected] : cases)
        EXPECT_EQ(IntelHexChecksum(record), expected) << record.toStdString();
}

TEST(HexText, ScrambleSwapsUpperCaseHexDigitsOnly)
{
    const std::pair<QString, QString> cases[] = {
        {":00000001FF", ":88888889BB"},
        {"0123456789ABCDEF", "8976543201DFEACB"},
        {":abcdefGXYZ", ":abcdefGXYZ"},
        {QStringLiteral("Α0ώ"), QStringLiteral("Α8ώ")},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ScrambleHexDigits(text), expected) << text.toStdString();
        EXPECT_EQ(ScrambleHexDigits(expected), text) << text.toStdString();
    }
}

TEST(DeviceText, DecodesLettersWordsAndCharacters)
{
    Bytes capitals; // all of them, in alphabet order
    for (int code = 128; code <= 151; ++code)
        capitals.push_back(quint8(code));
    const std::pair<Bytes, QString> cases[] = {
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
        {capitals, QStringLiteral("ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ")},
        {{0xC1, 0x98, 0x00}, QStringLiteral("Α\uFFFD")}, // code-page characters beyond the capitals
        // The buffer end ends the name as a 0 byte would.
        {{0x31, 0x32}, QStringLiteral("12")},
        {{0x31, 0xFF}, QStringLiteral("1 ")}, // as 0x31 0xFF 0x00: word 0, still spaced,
        {{0xFF, 0x02}, QStringLiteral("ΨΑΡΙΚΑ")},
        {{}, QString()},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const QString text = DecodeDeviceText(bytes, 0);
        EXPECT_EQ(text, expected);
        // An empty name is stored as an empty text: a null one would be stored as Null.
        EXPECT_FALSE(text.isNull());
    }
    const Bytes bytes = {0x80, 0x00, 0x81, 0xFF, 0x28, 0x00};
    EXPECT_EQ(DecodeDeviceText(bytes, 2), QStringLiteral("Β ΜΗΧΑΝΟΣΤΑΣΙΟ"));
    EXPECT_EQ(DecodeDeviceText(bytes, 4), QStringLiteral("("));
}
