#pragma once

#include <QChar>
#include <QString>

// The unit's one-byte texts use the Greek Windows code page (1253).

// The character of a code; U+FFFD for the few codes the code page leaves undefined.
QChar AnsiChar(quint8 code);
// The code of a character; '?' when the code page has none.
quint8 AnsiCode(QChar c);

// Where every text read from a unit starts: empty, yet not null, so that an empty field is stored
// as an empty text (QtSql binds a null QString as Null, which the unit tables refuse).
inline QString EmptyUnitText()
{
    return QStringLiteral("");
}
