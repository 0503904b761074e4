#include "zstring.h"

#include "ansi_text.h"
#include "field_bytes.h"

QString ReadZString(std::span<const quint8> buffer, qsizetype start)
{
    QString text = EmptyUnitText();
    for (quint8 code : ZeroTerminatedAt(buffer, start))
        text += AnsiChar(code);
    return text;
}

bool WriteZString(std::span<quint8> buffer, qsizetype start, const QString& text)
{
    const auto field = FieldAt(buffer, start, text.size() + 1);
    if (field.empty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        field[std::size_t(i)] = AnsiCode(text[i]);
    field.back() = 0;
    return true;
}
