#include "qt_printers.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QVariant>

#include <charconv>
#include <ostream>
#include <string>

namespace {
constexpr qsizetype kBytesPerRow = 16;

std::ostream& operator<<(std::ostream& os, const QString& text)
{
    return os << text.toStdString();
}

QString Escaped(const QString& text)
{
    QString out;
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case U'"':
            out += QStringLiteral("\\\"");
            break;
        case U'\\':
            out += QStringLiteral("\\\\");
            break;
        case U'\n':
            out += QStringLiteral("\\n");
            break;
        case U'\r':
            out += QStringLiteral("\\r");
            break;
        case U'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (QChar::isPrint(c))
                out += QString::fromUcs4(&c, 1);
            else
                out += QStringLiteral("\\u{%1}").arg(uint(c), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

std::string ShortestFloat(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// The row's hex digits, padded to a full row's width when rows are lined up, then its text.
void PrintRow(const QByteArray& row, bool lineUp, std::ostream* os)
{
    QString hex;
    QString text;
    for (const char b : row) {
        hex += QStringLiteral("%1 ").arg(uchar(b), 2, 16, QLatin1Char('0'));
        text += b >= 0x20 && b < 0x7f ? QLatin1Char(b) : QLatin1Char('.');
    }
    *os << (lineUp ? hex.leftJustified(3 * kBytesPerRow) : hex) << '|' << text << '|';
}
} // namespace

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << Escaped(text) << '"';
}

void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << bytes.size() << (bytes.size() == 1 ? " byte" : " bytes");
    if (bytes.isEmpty())
        return;
    if (bytes.size() <= kBytesPerRow) {
        *os << ": ";
        PrintRow(bytes, false, os);
        return;
    }
    for (qsizetype at = 0; at < bytes.size(); at += kBytesPerRow) {
        *os << "\n  " << QStringLiteral("%1  ").arg(at, 4, 16, QLatin1Char('0'));
        PrintRow(bytes.mid(at, kBytesPerRow), true, os);
    }
}

void PrintTo(const QVariant& value, std::ostream* os)
{
    if (!value.isValid()) {
        *os << "QVariant(Invalid)";
        return;
    }
    *os << "QVariant(" << value.typeName();
    if (value.isNull()) {
        *os << ", null";
    } else {
        *os << ", ";
        switch (value.typeId()) {
        case QMetaType::QString:
            PrintTo(value.toString(), os);
            break;
        case QMetaType::QByteArray:
            PrintTo(value.toByteArray(), os);
            break;
        case QMetaType::QDateTime:
            PrintTo(value.toDateTime(), os);
            break;
        case QMetaType::QDate:
            PrintTo(value.toDate(), os);
            break;
        case QMetaType::QTime:
            PrintTo(value.toTime(), os);
            break;
        case QMetaType::Float:
            // The shortest text that reads back as the same single, not its double's digits.
            *os << ShortestFloat(value.toFloat());
            break;
        default:
            *os << (value.canConvert<QString>() ? value.toString() : QStringLiteral("?"));
        }
    }
    *os << ')';
}

void PrintTo(const QDateTime& at, std::ostream* os)
{
    if (!at.isValid()) {
        *os << "invalid QDateTime";
        return;
    }
    *os << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "));
    switch (at.timeSpec()) {
    case Qt::LocalTime:
        *os << "local time";
        break;
    case Qt::UTC:
        *os << "UTC";
        break;
    case Qt::OffsetFromUTC:
        *os << at.timeZoneAbbreviation();
        break;
    case Qt::TimeZone:
        *os << at.timeZone().id().toStdString();
        break;
    }
}

void PrintTo(const QDate& day, std::ostream* os)
{
    *os << (day.isValid() ? day.toString(Qt::ISODate) : QStringLiteral("invalid QDate"));
}

void PrintTo(const QTime& time, std::ostream* os)
{
    *os << (time.isValid() ? time.toString(QStringLiteral("HH:mm:ss.zzz")) : QStringLiteral("invalid QTime"));
}

void PrintTo(const QColor& color, std::ostream* os)
{
    *os << (color.isValid() ? color.name(QColor::HexArgb) : QStringLiteral("invalid QColor"));
}
