#include "held_tcp_port.h"
#include "test_databases.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>

namespace {

class PgOpenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!TestPgServer())
            GTEST_SKIP() << "TELVARON_TEST_PG_PORT is not set";
        server_ = *TestPgServer();
    }
    PgServer server_;
};

// The operator's language must not hide the cause: libpq speaks English during the open,
// and the program's own message language is back afterwards.
TEST_F(PgOpenTest, AFailedOpenCarriesTheOraCodeWhoseExplanationFitsWhateverTheLanguage)
{
    const std::string saved = std::setlocale(LC_MESSAGES, nullptr);
    const bool foreign = std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr;
    const QByteArray savedLanguage = qgetenv("LANGUAGE");
    qputenv("LANGUAGE", "el:de");
    const HeldTcpPort refusing;
    const struct
    {
        const char* name;
        std::function<void(PgServer&)> change;
        long number;
        const char* detail;
    } cases[] = {
        {"wrong password", [](PgServer& s) { s.password = "lumbrako4063"; }, 1017,
         "password authentication failed"},
        {"unknown role", [](PgServer& s) { s.user = "nobody"; }, 1017, "password authentication failed"},
        {"no such database", [](PgServer& s) { s.dataSource = "no_such_database"; }, 12505, "does not exist"},
        // libpq's hint stays on a line of its own, for the message box to show apart.
        {"nothing listens", [&](PgServer& s) { s.serverPort = QString::number(refusing.Port()); }, 12541,
         "failed: Connection refused\nIs the server running on that host and accepting TCP/IP connections?"},
    };
    for (const auto& c : cases) {
        PgServer server = server_;
        c.change(server);
        Database db;
        EXPECT_FALSE(db.OpenPostgres(server)) << c.name;
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(db.LastError().number, c.number) << c.name;
        const QString description = db.LastError().description;
        EXPECT_TRUE(description.startsWith(QStringLiteral("ORA-%1: ").arg(c.number, 5, 10, QChar(u'0'))))
            << description.toStdString();
        EXPECT_TRUE(description.contains(c.detail)) << description.toStdString();
        if (foreign) {
            EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "C.UTF-8");
        }
    }
    if (savedLanguage.isNull())
        qunsetenv("LANGUAGE");
    else
        qputenv("LANGUAGE", savedLanguage);
    std::setlocale(LC_MESSAGES, saved.c_str());
}

TEST_F(PgOpenTest, ALostConnectionIsReportedAsSuch)
{
    Database db;
    ASSERT_TRUE(db.OpenPostgres(server_));
    const auto pid = db.Select("SELECT pg_backend_pid()");
    ASSERT_TRUE(pid);
    Database other("other");
    ASSERT_TRUE(other.OpenPostgres(server_));
    ASSERT_TRUE(other.Select("SELECT pg_terminate_backend(?)", {pid->front().value(0)}));

    EXPECT_FALSE(db.Select("SELECT 1"));
    EXPECT_EQ(db.LastError().number, 3135) << db.LastError().description.toStdString();

    // Made again as it was first made; a connection closed on purpose is not lost.
    EXPECT_TRUE(db.ConnectionLost());
    ASSERT_TRUE(db.Reconnect()) << db.LastError().description.toStdString();
    EXPECT_FALSE(db.ConnectionLost());
    EXPECT_TRUE(db.Select("SELECT 1"));
    db.Close();
    EXPECT_FALSE(db.ConnectionLost());
    EXPECT_FALSE(db.Reconnect());
}

TEST_F(PgOpenTest, NoStatementWaitsOnALockBeyondItsTimeout)
{
    Database holder("holder");
    ASSERT_TRUE(holder.OpenPostgres(server_));
    const QString table = QStringLiteral("lock_probe_%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(holder.Exec(QStringLiteral("CREATE TABLE %1 (x INTEGER)").arg(table)));
    // Should the statement wait regardless, the lock goes with its holder after a while.
    ASSERT_TRUE(holder.Exec("SET idle_in_transaction_session_timeout=5000"));
    ASSERT_TRUE(holder.Exec("BEGIN"));
    ASSERT_TRUE(holder.Exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table)));

    // The default is a few seconds; a test waits a shorter time.
    Database waiting;
    ASSERT_TRUE(waiting.OpenPostgres(server_));
    const auto timeout = waiting.Select("SELECT setting::integer FROM pg_settings WHERE name='lock_timeout'");
    ASSERT_TRUE(timeout);
    // No statement waits on a terminal's lock for more than 5 seconds.
    EXPECT_EQ(timeout->front().value(0).toInt(), 5000);
    PgServer quick = server_;
    quick.statementTimeoutMs = 200;
    ASSERT_TRUE(waiting.OpenPostgres(quick));
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(waiting.Select(QStringLiteral("SELECT x FROM %1").arg(table)));
    EXPECT_GE(waited.elapsed(), 0.9 * 200);
    EXPECT_LE(waited.elapsed(), 0.9 * 200 + 300);
    // Told as a lock, which the scan waits on once a pass, not as a statement that ran too long.
    EXPECT_EQ(waiting.LastError().state, "55P03") << waiting.LastError().description.toStdString();

    EXPECT_TRUE(holder.Exec("ROLLBACK"));
    EXPECT_TRUE(waiting.Select(QStringLiteral("SELECT x FROM %1").arg(table)));
    EXPECT_TRUE(waiting.Exec(QStringLiteral("DROP TABLE %1").arg(table)));
}

} // namespace
