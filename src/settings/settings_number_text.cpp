#include "settings_number_text.h"

#include <QLocale>

#include <cmath>

QString DecimalText(double value)
{
    if (!std::isfinite(value))
        value = 0;
    double rounded = std::round(value * 100) / 100;
    if (rounded == 0)
        rounded = 0; // no "-0.0"
    QString text = QString::number(rounded, 'f', 2);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

std::optional<double> ParseDecimal(const QString& text)
{
    QString t = text.trimmed();
    t.replace(QLocale().decimalPoint(), QStringLiteral("."));
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> ParseWhole(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return text.toInt();
}
