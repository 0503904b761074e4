#include "address_part.h"

QString AddressPart(const QString& address, int part)
{
    const qsizetype dash = address.lastIndexOf(QLatin1Char('-')); // -1 when none
    const qsizetype colon = address.indexOf(QLatin1Char(':'));    // -1 when none
    switch (part) {
    case 0:
        return colon < 0 ? QString() : address.left(colon);
    case 1: {
        const qsizetype from = colon + 1;
        const qsizetype length = dash - from;
        return length > 0 ? address.mid(from, length) : QString();
    }
    default:
        return address.mid(dash + 1);
    }
}
