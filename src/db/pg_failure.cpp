#include "pg_failure.h"

#include "db_session.h"

#include <array>
#include <utility>

namespace {

// Checked in this order: a server's refusal says more than the network errors that libpq
// may report for other addresses of the same host before it.
constexpr std::array<std::pair<const char*, const char*>, 25> kPatterns{{
    {"password authentication failed", "01017"},
    {"authentication failed for user", "01017"},
    {"no pg_hba.conf entry", "01017"},
    {"no password supplied", "01017"},
    {"permission denied for database", "01017"},
    {"does not have connect privilege", "01017"},
    {"fatal: role \"", "01017"},
    {"fatal: database \"", "12505"},
    {"the database system is starting up", "12528"},
    {"the database system is not yet accepting connections", "12528"},
    {"the database system is in recovery mode", "12528"},
    {"the database system is shutting down", "01089"},
    {"could not translate host name", "12545"},
    {"timeout expired", "12170"},
    {"connection timed out", "12170"},
    {"no route to host", "12170"},
    {"network is unreachable", "12560"},
    {"connection refused", "12541"},
    {"failed: no such file or directory", "12541"},
    {"server closed the connection unexpectedly", "03135"},
    {"connection reset by peer", "03135"},
    {"terminating connection", "03135"},
    {"lost synchronization with server", "03135"},
    {"could not receive data from server", "03135"},
    {"could not send data to server", "03135"},
}};

} // namespace

QString PgFailureOraCode(const QString& libpqMessage)
{
    const QString text = libpqMessage.simplified();
    for (const auto& [pattern, code] : kPatterns) {
        if (text.contains(QLatin1String(pattern), Qt::CaseInsensitive))
            return QLatin1String(code);
    }
    return QStringLiteral("00000");
}

DbError DescribedError(DbDriver driver, const QString& text, long nativeCode)
{
    if (driver != DbDriver::PostgreSQL)
        return {nativeCode, text};
    const QString code = PgFailureOraCode(text);
    return {code.toLong(), QStringLiteral("ORA-") + code + QStringLiteral(": ") + text};
}
