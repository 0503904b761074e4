#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>

#include <gtest/gtest.h>

#include <optional>

using testing::PrintToString;

TEST(QtPrinters, ValuesPrintAsText)
{
    const QDate day(2024, 3, 31);
    const QTime time(3, 30, 15, 250);
    const struct
    {
        std::string printed;
        std::string expected;
    } cases[] = {
        {PrintToString(QStringLiteral("Σε σύνδεση")), "\"Σε σύνδεση\""},
        {PrintToString(QString()), "\"\""},
        {PrintToString(QStringLiteral("a\"b\\\r\n\tc\a")), "\"a\\\"b\\\\\\r\\n\\tc\\u{0007}\""},
        {PrintToString(QStringList{QStringLiteral("ΟΧΙ"), QStringLiteral("ΝΑΙ")}), "{ \"ΟΧΙ\", \"ΝΑΙ\" }"},
        {PrintToString(std::optional<QString>(QStringLiteral("Αποθήκη"))), "(\"Αποθήκη\")"},
        {PrintToString(QByteArray()), "0 bytes"},
        {PrintToString(QByteArray("~")), "1 byte: 7e |~|"},
        {PrintToString(QByteArray::fromHex("7e410d00ff")), "5 bytes: 7e 41 0d 00 ff |~A...|"},
        {PrintToString(QByteArray("0123456789abcdef:")),
         "17 bytes\n"
         "  0000  30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 |0123456789abcdef|\n"
         "  0010  3a                                              |:|"},
        {PrintToString(QVariant()), "QVariant(Invalid)"},
        {PrintToString(QVariant(QMetaType::fromType<int>())), "QVariant(int, null)"},
        {PrintToString(QVariant(-32768)), "QVariant(int, -32768)"},
        {PrintToString(QVariant(0.1f)), "QVariant(float, 0.1)"},
        {PrintToString(QVariant(QStringLiteral("Ανώνυμο σύστημα"))),
         "QVariant(QString, \"Ανώνυμο σύστημα\")"},
        {PrintToString(QVariant(QByteArray("A"))), "QVariant(QByteArray, 1 byte: 41 |A|)"},
        {PrintToString(QVariant(QDateTime(day, time))),
         "QVariant(QDateTime, 2024-03-31 03:30:15.250 local time)"},
        {PrintToString(QDateTime(day, time, Qt::UTC)), "2024-03-31 03:30:15.250 UTC"},
        {PrintToString(QDateTime(day, time, Qt::OffsetFromUTC, 7200)), "2024-03-31 03:30:15.250 UTC+02:00"},
        {PrintToString(QDateTime(day, time, QTimeZone(3600))), "2024-03-31 03:30:15.250 UTC+01"},
        {PrintToString(QDateTime()), "invalid QDateTime"},
        {PrintToString(day), "2024-03-31"},
        {PrintToString(QDate()), "invalid QDate"},
        {PrintToString(QList<QDate>{day}), "{ 2024-03-31 }"},
        {PrintToString(time), "03:30:15.250"},
        {PrintToString(QTime()), "invalid QTime"},
        {PrintToString(QColor(Qt::red)), "#ffff0000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.printed, c.expected);
}
