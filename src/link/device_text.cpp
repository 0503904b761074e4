#include "device_text.h"

#include "ansi_text.h"
#include "field_bytes.h"

#include <array>

namespace {
constexpr std::array<const char16_t*, kDeviceWordCount> kWords = {
    u"ΘΑΛΑΜΟΣ",      u"ΨΑΡΙΚΑ",     u"ΚΡΕΑΤΑ",    u"ΨΥΓΕΙΟ",       u"ΚΑΤΑΨΥΞΗ",  u"ΣΥΝΤΗΡΗΣΗ",
    u"ΒΑΘΙΑ",        u"ΞΗΡΗ",       u"ΓΛΥΚΑ",     u"ΠΑΓΩΤΑ",       u"ΠΟΥΛΕΡΙΚΑ", u"ΤΥΡΟΚΟΜΙΚΑ",
    u"ΣΥΝΘΕΤΙΚΑ",    u"ΦΥΣΙΚΑ",     u"ΦΡΟΥΤΑ",    u"ΛΑΧΑΝΙΚΑ",     u"ΥΠΟΓΕΙΟ",   u"ΙΣΟΓΕΙΟ",
    u"ΟΡΟΦΟΣ",       u"ΔΩΜΑΤΙΟ",    u"ΑΣΦΑΛΕΙΑΣ", u"ΖΥΜΗ",         u"ΓΑΛΑ",      u"ΕΠΙΤΗΡΗΤΗΣ ΤΑΣΗΣ",
    u"ΜΑΝΑΒΙΚΗΣ",    u"ΝΕΡΟ",       u"ΥΓΡΟ",      u"ΚΑΤΑΣΤΗΜΑ",    u"ΑΠΟΘΗΚΗ",   u"ΒΟΥΤΑ",
    u"ΒΙΤΡΙΝΑ",      u"ΕΙΣΟΔΟΣ",    u"ΠΑΝΩ",      u"ΚΑΤΩ",         u"ΔΕΞΙΑ",     u"ΑΡΙΣΤΕΡΑ",
    u"SELF SERVICE", u"ΚΡΕΟΠΩΛΕΙΟ", u"ΑΛΛΑΝΤΙΚΑ", u"ΜΗΧΑΝΟΣΤΑΣΙΟ",
};

constexpr quint8 kFirstCapital = 128;
constexpr quint8 kLastCapital = 151;

QChar DeviceChar(quint8 code)
{
    if (code < kFirstCapital || code > kLastCapital)
        return AnsiChar(code);
    // Α to Ω; Unicode leaves U+03A2 unassigned between Ρ and Σ.
    const int letter = code - kFirstCapital;
    return QChar(char16_t(u'Α' + letter + (letter >= 17 ? 1 : 0)));
}
} // namespace

QString DeviceWord(int n)
{
    return n >= 1 && n <= kDeviceWordCount ? QString::fromUtf16(kWords[std::size_t(n - 1)]) : QString();
}

QString DecodeDeviceText(std::span<const quint8> buffer, qsizetype start)
{
    const auto bytes = TailAt(buffer, start);
    const auto at = [&bytes](std::size_t i) -> quint8 { return i < bytes.size() ? bytes[i] : 0; };
    QString text = EmptyUnitText();
    bool spaceOwed = false;
    for (std::size_t i = 0; at(i) != 0; ++i) {
        if (spaceOwed)
            text += QLatin1Char(' ');
        if (at(i) == kDeviceWordMarker) {
            // The next byte is the word number, even when it is 0.
            text += DeviceWord(at(++i));
            spaceOwed = true;
        } else {
            text += DeviceChar(at(i));
            spaceOwed = at(i + 1) == kDeviceWordMarker;
        }
    }
    return text;
}
