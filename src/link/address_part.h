#pragma once

#include <QString>

// Splits a unit's link address ("host:port-115200" or "com-115200"):
// part 0 is the text before the first ':', part 1 the text between that ':'
// (or the start) and the last '-', any other part the text after the last '-'.
// Parts that do not exist in the text come back empty.
QString AddressPart(const QString& address, int part);
