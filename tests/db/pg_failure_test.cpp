#include "pg_failure.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* message;
    const char* code;
};

// Messages as libpq 15 gives them in the C locale.
const Case kCases[] = {
    {"connection to server at \"localhost\" (::1), port 5432 failed: Connection refused\n"
     "\tIs the server running on that host and accepting TCP/IP connections?\n"
     "connection to server at \"localhost\" (127.0.0.1), port 5432 failed: Connection refused\n"
     "\tIs the server running on that host and accepting TCP/IP connections?",
     "12541"},
    {"connection to server on socket \"/var/run/postgresql/.s.PGSQL.5432\" failed: No such file or "
     "directory\n"
     "\tIs the server running locally and accepting connections on that socket?",
     "12541"},
    {"connection to server at \"127.0.0.1\", port 54331 failed: FATAL:  role \"telvaron\" does not exist",
     "01017"},
    {"connection to server at \"127.0.0.1\", port 54331 failed: FATAL:  no pg_hba.conf entry for host "
     "\"127.0.0.1\", user \"telvaron\", database \"tl\", no encryption",
     "01017"},
    {"connection to server at \"127.0.0.1\", port 54331 failed: fe_sendauth: no password supplied", "01017"},
    {"connection to server at \"127.0.0.1\", port 54331 failed: FATAL:  permission denied for database "
     "\"tl\"\n"
     "DETAIL:  User does not have CONNECT privilege.",
     "01017"},
    // Another address of the same host refused first; the server's answer decides.
    {"connection to server at \"localhost\" (::1), port 5432 failed: Connection refused\n"
     "\tIs the server running on that host and accepting TCP/IP connections?\n"
     "connection to server at \"localhost\" (127.0.0.1), port 5432 failed: FATAL:  password authentication "
     "failed for user \"telvaron\"",
     "01017"},
    {"connection to server at \"127.0.0.1\", port 54331 failed: FATAL:  database \"tl\" does not exist",
     "12505"},
    {"connection to server at \"10.0.0.9\", port 5432 failed: timeout expired", "12170"},
    {"connection to server at \"10.0.0.9\", port 5432 failed: Connection timed out\n"
     "\tIs the server running on that host and accepting TCP/IP connections?",
     "12170"},
    {"connection to server at \"10.0.0.9\", port 5432 failed: No route to host\n"
     "\tIs the server running on that host and accepting TCP/IP connections?",
     "12170"},
    {"could not translate host name \"dbserver\" to address: Name or service not known", "12545"},
    {"connection to server at \"10.0.0.9\", port 5432 failed: Network is unreachable\n"
     "\tIs the server running on that host and accepting TCP/IP connections?",
     "12560"},
    {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  the database system is starting up",
     "12528"},
    {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  the database system is not yet "
     "accepting "
     "connections\nDETAIL:  Consistent recovery state has not been yet reached.",
     "12528"},
    {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  the database system is in recovery "
     "mode",
     "12528"},
    {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  the database system is shutting down",
     "01089"},
    {"server closed the connection unexpectedly\n\tThis probably means the server terminated abnormally\n"
     "\tbefore or while processing the request.",
     "03135"},
    {"FATAL:  terminating connection due to administrator command", "03135"},
    {"could not receive data from server: Connection reset by peer", "03135"},
    {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  sorry, too many clients already",
     "00000"},
    {"", "00000"},
};

TEST(PgFailureOraCode, ChoosesTheCodeWhoseExplanationFits)
{
    for (const Case& c : kCases)
        EXPECT_EQ(PgFailureOraCode(QString::fromUtf8(c.message)), QString::fromLatin1(c.code)) << c.message;
}

} // namespace
