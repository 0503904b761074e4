#include <shell/console_notices.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
const QString kFreeStatement = QStringLiteral("Unable to free statement: no connection to the server\n");
const QString kLostConnection = ConsoleNotices::Translated(kFreeStatement);
} // namespace

TEST(ConsoleNotices, KnownNoiseBecomesOneActionableLine)
{
    EXPECT_TRUE(kLostConnection.contains(QStringLiteral("PostgreSQL server was lost")));
    EXPECT_TRUE(kLostConnection.contains(QStringLiteral("reconnects by itself")));
    EXPECT_EQ(ConsoleNotices::Translated(
                  QStringLiteral("Unable to free statement: server closed the connection unexpectedly\n")),
              kLostConnection);
    // The same first words from a statement dropped in a failed transaction: the connection is well.
    EXPECT_EQ(ConsoleNotices::Translated(
                  QStringLiteral("Unable to free statement: ERROR:  current transaction is aborted, commands "
                                 "ignored until end of transaction block\n")),
              QStringLiteral("Unable to free statement: ERROR:  current transaction is aborted, commands "
                             "ignored until end of transaction block"));
    EXPECT_EQ(ConsoleNotices::Translated(QStringLiteral("qt.qpa.xcb: could not connect to display :9\n")),
              QStringLiteral("qt.qpa.xcb: could not connect to display :9"));
    EXPECT_EQ(ConsoleNotices::Translated(QStringLiteral("  Σφάλμα\t\n\n")), QStringLiteral("  Σφάλμα"));
}

TEST(ConsoleNotices, EachLineOncePerEpisode)
{
    const QString xdg =
        QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'");
    const QString other = QStringLiteral("QSqlQuery::exec: database not open");
    const struct
    {
        int atMs;
        QString message;
        std::optional<QString> shown;
    } steps[] = {
        {0, xdg, xdg},
        {1, xdg, std::nullopt},
        {2, kFreeStatement, kLostConnection},
        {3, other, other},
        {4, QStringLiteral("Unable to free statement: server closed the connection unexpectedly"),
         std::nullopt},
        // Repeats closer together than the quiet time keep one episode going, however long.
        {900, kFreeStatement, std::nullopt},
        {901, xdg, std::nullopt},
        {1800, kFreeStatement, std::nullopt},
        {2700, kFreeStatement, std::nullopt},
        // A second outage after a quiet second is told again; the others stay as they were.
        {3700, kFreeStatement, kLostConnection},
        {3701, kFreeStatement, std::nullopt},
        {3702, other, other},
        {3703, xdg, xdg},
    };
    std::chrono::steady_clock::time_point now;
    ConsoleNotices notices(1000ms, [&] { return now; });
    for (const auto& step : steps) {
        now = std::chrono::steady_clock::time_point(std::chrono::milliseconds(step.atMs));
        EXPECT_EQ(notices.Line(step.message), step.shown) << step.atMs << " ms";
    }
}

// Other threads' messages keep coming while notices are installed and end, as at the program's end.
TEST(ConsoleNotices, EndWhileOtherThreadsWrite)
{
    // The messages themselves would only flood the test's output.
    const int savedStderr = ::dup(STDERR_FILENO);
    const int nowhere = ::open("/dev/null", O_WRONLY);
    ::dup2(nowhere, STDERR_FILENO);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int n = 0; n < 4; ++n)
        writers.emplace_back([&] {
            while (!stop)
                qWarning("Unable to free statement: no connection to the server");
        });
    for (int round = 0; round < 500; ++round) {
        ConsoleNotices notices;
        InstallConsoleNotices(notices);
        std::this_thread::sleep_for(50us);
    }
    stop = true;
    for (std::thread& writer : writers)
        writer.join();
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(nowhere);
}
