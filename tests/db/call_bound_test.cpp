#include "stalling_proxy.h"
#include "test_databases.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Counts the ticks of a fast timer: the event loop ran while a call waited.
class Ticker
{
public:
    explicit Ticker(std::function<void()> onTick = {})
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, onTick] {
            ++ticks;
            if (onTick)
                onTick();
        });
        timer_.start(10);
    }
    int ticks = 0;

private:
    QTimer timer_;
};

// A wait ends at the bound it was given: at least 0.9 of it, and less than 300 ms after that.
void ExpectEndsAt(qint64 elapsedMs, std::chrono::milliseconds bound, const char* what)
{
    EXPECT_GE(elapsedMs, 0.9 * double(bound.count())) << what;
    EXPECT_LE(elapsedMs, 0.9 * double(bound.count()) + 300) << what;
}

class CallBound : public BothDriversTest
{
};

TEST_P(CallBound, ALockWaitEndsAtItsBoundWhileTheWindowRunsAndRefusesNestedCalls)
{
    constexpr auto kLockBound = 400ms;
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    Database waiting(QStringLiteral("waiting"));
    if (GetParam() == Database::Driver::SQLite) {
        ASSERT_TRUE(waiting.OpenSqlite(TestDb().SqliteFile(), kLockBound));
    } else {
        PgServer quick = *TestPgServer();
        quick.statementTimeoutMs = int(kLockBound.count());
        ASSERT_TRUE(waiting.OpenPostgres(quick));
        ASSERT_TRUE(waiting.Exec(QStringLiteral("SET search_path TO ") + TestDb().PgSchema()));
    }
    ASSERT_TRUE(HoldWriteLock(terminal, QStringLiteral("Systems_Faults")));
    bool nestedRefused = false;
    qint64 nestedMs = -1;
    const Ticker ticker([&] {
        if (nestedMs >= 0)
            return;
        QElapsedTimer nested;
        nested.start();
        nestedRefused = waiting.Busy() && !waiting.Select(QStringLiteral("SELECT 1"));
        nestedMs = nested.elapsed();
    });
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(waiting.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, "
                                             "SyF_Faulttype, SyF_Faultinfo) VALUES (?, 0, '1')"),
                              {"S1"}));
    ExpectEndsAt(waited.elapsed(), kLockBound, "lock wait");
    EXPECT_GE(ticker.ticks, 10);
    EXPECT_TRUE(nestedRefused);
    EXPECT_LT(nestedMs, 50);
    EXPECT_FALSE(waiting.Busy());
    EXPECT_TRUE(waiting.IsOpen()) << "a lock time-out keeps the connection";

    ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
    EXPECT_TRUE(waiting.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, "
                                            "SyF_Faulttype, SyF_Faultinfo) VALUES (?, 0, '1')"),
                             {"S1"}))
        << waiting.LastError().description.toStdString();
}

// Work runs whole on the connection's thread: a timer's statement never enters it.
TEST_P(CallBound, ATimerThatFiresDuringATransactionStaysOutOfIt)
{
    const QString insert = QStringLiteral(
        "INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES (?, 0, '1')");
    int refused = 0;
    const Ticker ticker([&] { refused += Db().Exec(insert, {"timer"}) ? 0 : 1; });
    EXPECT_FALSE(Db().Transaction([insert](DbSession& s) {
        if (!s.Exec(insert, {"work"}))
            return false;
        std::this_thread::sleep_for(150ms);
        return false;
    }));
    EXPECT_GE(refused, 5);
    EXPECT_EQ(ticker.ticks, refused);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults")), 0);
}

INSTANTIATE_BOTH_DRIVERS(CallBound);

class FrozenServer : public ::testing::Test
{
protected:
    static constexpr auto kBound = 1500ms;

    void SetUp() override
    {
        if (!TestPgServer())
            GTEST_SKIP() << "TELVARON_TEST_PG_PORT is not set";
        proxy_ = std::make_unique<StallingProxy>(TestPgServer()->serverPort.toUShort());
        ASSERT_NE(proxy_->Port(), 0);
        server_ = *TestPgServer();
        server_.serverPort = QString::number(proxy_->Port());
        server_.connectTimeoutSeconds = 2;
    }

    // Runs a call with a ticking timer; its time and whether it succeeded.
    template <class Call> qint64 Timed(Call call, bool& succeeded, int& ticks)
    {
        const Ticker ticker;
        QElapsedTimer waited;
        waited.start();
        succeeded = call();
        ticks = ticker.ticks;
        return waited.elapsed();
    }

    // The threads of this process.
    static int Threads()
    {
        return int(
            QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    }

    std::unique_ptr<StallingProxy> proxy_;
    PgServer server_;
};

TEST_F(FrozenServer, AFrozenConnectionOrConnectIsGivenUpAtTheBoundAndTheNextConnectsAfresh)
{
    Database db(QStringLiteral("frozen"), kBound);
    ASSERT_TRUE(db.OpenPostgres(server_)) << db.LastError().description.toStdString();
    ASSERT_TRUE(db.Select(QStringLiteral("SELECT 1")));

    proxy_->SetMode(StallingProxy::Mode::Freeze);
    bool succeeded = true;
    int ticks = 0;
    const struct
    {
        const char* name;
        std::function<bool()> call;
    } cases[] = {
        {"statement", [&] { return db.Select(QStringLiteral("SELECT 1")).has_value(); }},
        {"transaction",
         [&] {
             return db.Transaction(
                 [](DbSession& s) { return s.Exec(QStringLiteral("SELECT 1")).has_value(); });
         }},
        // Accepted at TCP level, never answered.
        {"reconnect", [&] { return db.Reconnect(); }},
    };
    for (const auto& c : cases) {
        if (!db.IsOpen() && std::string_view(c.name) != "reconnect") {
            proxy_->CutStalled();
            ASSERT_TRUE(db.Reconnect()) << db.LastError().description.toStdString();
            proxy_->SetMode(StallingProxy::Mode::Freeze);
        }
        const int threads = Threads();
        const qint64 elapsed = Timed(c.call, succeeded, ticks);
        EXPECT_FALSE(succeeded) << c.name;
        EXPECT_LE(elapsed, kBound.count() + 200) << c.name;
        EXPECT_GE(elapsed, kBound.count() / 2) << c.name;
        // The window's events ran all along: a 10 ms timer ticked.
        EXPECT_GE(ticks, elapsed / 10 / 3) << c.name;
        EXPECT_EQ(db.LastError().number, 12170) << c.name;
        EXPECT_TRUE(db.LastError().description.startsWith(QStringLiteral("ORA-12170: "))) << c.name;
        EXPECT_TRUE(db.ConnectionLost()) << c.name;
        // An open connection's socket is shut down at the bound, so its thread comes back and
        // ends instead of being left in the frozen read.
        if (std::string_view(c.name) != "reconnect") {
            EXPECT_EQ(Threads(), threads - 1) << c.name;
        }
    }

    proxy_->CutStalled();
    ASSERT_TRUE(db.Reconnect()) << db.LastError().description.toStdString();
    EXPECT_TRUE(db.Select(QStringLiteral("SELECT 1")));
    EXPECT_TRUE(db.LastError().description.isEmpty());
}

} // namespace
