#include "db_statements.h"

#include "db_cut.h"

void DbStatements::Fail(long code, const QString& text, const QByteArray& state)
{
    errorCode_ = code;
    errorText_ = text;
    errorState_ = state;
}

bool DbStatements::Counted(qsizetype values, int placeholders, long code)
{
    if (values == placeholders)
        return true;
    Fail(code, QStringLiteral("%1 values for %2 parameters").arg(values).arg(placeholders));
    return false;
}

bool DbStatements::GivenUp(long code)
{
    if (!cut_.Done())
        return false;
    Fail(code, QStringLiteral("interrupted: the call was given up"));
    return true;
}
