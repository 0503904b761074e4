#pragma once

#include <QChar>

// The unit's one-byte texts use the Greek Windows code page (1253).

// The character of a code; U+FFFD for the few codes the code page leaves undefined.
QChar AnsiChar(quint8 code);
// The code of a character; '?' when the code page has none.
quint8 AnsiCode(QChar c);
