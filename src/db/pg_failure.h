#pragma once

#include <QString>

// The five-digit ORA code whose explanation fits a failed PostgreSQL connection, chosen
// from the libpq message in the C locale: "12170" time-out or unreachable host, "12545"
// unknown host, "12560" network unreachable, "12541" no server listening, "12505" no such
// database, "01017" authentication or role, "12528" starting up, "01089" shutting down,
// "03135" connection lost, and "00000" for anything else, which no explanation names.
QString PgFailureOraCode(const QString& libpqMessage);

struct DbError;
enum class DbDriver;

// An error as the error explanation takes it: on PostgreSQL with the ORA code that fits the text
// and a description that begins "ORA-<code>: ", on SQLite the native code and the text.
DbError DescribedError(DbDriver driver, const QString& text, long nativeCode);
