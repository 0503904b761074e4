#pragma once

#include <QFile>
#include <QString>

// The machine's load averages over 1, 5 and 15 minutes, as the figures of a shared machine need.
inline QString LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// The load when a measurement began and as it ends, "before -> after": whether the machine's other
// work changed meanwhile.
class LoadSpan
{
public:
    QString Text() const { return before_ + QStringLiteral(" -> ") + LoadAverage(); }

private:
    QString before_ = LoadAverage();
};
