#include "hex_text.h"

#include "field_bytes.h"

namespace {
constexpr QLatin1String kHexDigits("0123456789ABCDEF");
constexpr QLatin1String kScrambledDigits("8976543201DFEACB");

// The value of a pair of hex digits (either case), or 0 when it is not one.
uint PairValue(QStringView pair)
{
    uint value = 0;
    for (QChar c : pair) {
        const qsizetype digit = kHexDigits.indexOf(c, 0, Qt::CaseInsensitive);
        if (digit < 0)
            return 0;
        value = value * 16 + uint(digit);
    }
    return value;
}
} // namespace

QString Hex2(quint8 b)
{
    const QChar digits[] = {kHexDigits[b >> 4], kHexDigits[b & 15]};
    return QString(digits, 2);
}

QString HexZString(std::span<const quint8> buffer, qsizetype start)
{
    QString text;
    for (quint8 b : ZeroTerminatedAt(buffer, start))
        text += Hex2(b);
    return text + Hex2(0);
}

QString IntelHexChecksum(const QString& record)
{
    uint sum = 0;
    for (qsizetype i = 1; i < record.size(); i += 2)
        sum += PairValue(QStringView(record).mid(i, 2));
    return Hex2(quint8(256 - sum % 256));
}

QString ScrambleHexDigits(const QString& text)
{
    QString scrambled = text;
    for (QChar& c : scrambled) {
        const qsizetype digit = kHexDigits.indexOf(c);
        if (digit >= 0)
            c = kScrambledDigits[digit];
    }
    return scrambled;
}
