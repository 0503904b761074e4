#include "stalling_proxy.h"
#include "test_databases.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <clocale>
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

// The threads of this process.
int Threads()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Waits up to two seconds for the threads of a connection given up to end.
bool ThreadsEndTo(int count)
{
    QElapsedTimer waited;
    waited.start();
    while (Threads() > count && waited.elapsed() < 2000)
        std::this_thread::sleep_for(10ms);
    return Threads() <= count;
}

// Makes the next statement that an SQLite connection prepares take its time, as on a disk that
// stalls: the authorizer runs while a statement is prepared.
class SlowPrepare
{
public:
    static bool Install(Database& db)
    {
        return db.WithDriverHandle([](const QVariant& handle) {
            sqlite3_set_authorizer(*static_cast<sqlite3* const*>(handle.data()), &Authorize, nullptr);
        });
    }
    static inline std::atomic<int> nextMs = 0;

private:
    static int Authorize(void*, int, const char*, const char*, const char*, const char*)
    {
        if (const int ms = nextMs.exchange(0))
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return SQLITE_OK;
    }
};

// Makes the close of an SQLite connection take its time, as a checkpoint on a stalled disk would.
class SlowClose
{
public:
    static bool Install(Database& db)
    {
        return db.WithDriverHandle([](const QVariant& handle) {
            sqlite3_trace_v2(*static_cast<sqlite3* const*>(handle.data()), SQLITE_TRACE_CLOSE, &Closing,
                             nullptr);
        });
    }
    static inline std::atomic<int> nextMs = 0;

private:
    static int Closing(unsigned, void*, void*, void*)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(nextMs.exchange(0)));
        return 0;
    }
};

class CallBound : public BothDriversTest
{
protected:
    // Another connection on the test tables, whose calls end at bound.
    bool OpenBounded(Database& db)
    {
        if (GetParam() == Database::Driver::SQLite)
            return db.OpenSqlite(TestDb().SqliteFile());
        PgServer server = *TestPgServer();
        server.statementTimeoutMs = 0;
        return db.OpenPostgres(server) &&
               db.Exec(QStringLiteral("SET search_path TO ") + TestDb().PgSchema());
    }
    int Faults(const QString& serial)
    {
        return Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults WHERE SyF_SyI_Serialnumber=?"),
                     {serial});
    }
    const QString insertFault_ = QStringLiteral(
        "INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES (?, 0, '1')");
};

// The old grace point lay half a second before the bound: a call that ends after it, within
// the bound, is done, and the operator is told so.
TEST_P(CallBound, ACallThatEndsLateWithinItsBoundCountsAsDone)
{
    constexpr auto kBound = 1000ms;
    Database db(QStringLiteral("late"), kBound);
    ASSERT_TRUE(OpenBounded(db)) << db.LastError().description.toStdString();
    QElapsedTimer took;
    took.start();
    std::optional<int> stored;
    if (GetParam() == Database::Driver::SQLite) {
        ASSERT_TRUE(SlowPrepare::Install(db));
        SlowPrepare::nextMs = 850;
        stored = db.Exec(insertFault_, {"late"});
    } else {
        stored = db.Exec(QStringLiteral("INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                        "SyF_Faultinfo) SELECT ?, 0, '1' FROM pg_sleep(0.85)"),
                         {"late"});
    }
    EXPECT_GE(took.elapsed(), 800);
    EXPECT_EQ(stored, 1) << db.LastError().description.toStdString();
    EXPECT_TRUE(db.LastError().description.isEmpty());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(Faults("late"), 1);
}

// A call is given up at its bound also while its work is outside the driver, and what it left
// undone is not committed after.
TEST_P(CallBound, AWorkThatOverstaysIsGivenUpAtTheBoundAndCommitsNothing)
{
    constexpr auto kBound = 300ms;
    const int threads = Threads();
    Database db(QStringLiteral("overstaying"), kBound);
    ASSERT_TRUE(OpenBounded(db));
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(db.Transaction([insert = insertFault_](DbSession& s) {
        const bool inserted = s.Exec(insert, {"overstayed"}).has_value();
        std::this_thread::sleep_for(1000ms);
        return inserted;
    }));
    EXPECT_LE(took.elapsed(), kBound.count() + 200);
    EXPECT_TRUE(ThreadsEndTo(threads));
    EXPECT_EQ(Faults("overstayed"), 0);
}

// While a call waits, the window repaints and its timers tick, but a click reaches no handler.
TEST_P(CallBound, AClickWhileACallWaitsReachesNoHandler)
{
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    Database waiting(QStringLiteral("waiting"), 1000ms);
    ASSERT_TRUE(OpenBounded(waiting));
    ASSERT_TRUE(HoldWriteLock(terminal, QStringLiteral("Systems_Faults")));
    QPushButton button(QStringLiteral("Αφαίρεση"));
    button.show();
    int clicked = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicked; });
    QTimer::singleShot(100, [&] {
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClick(&button, Qt::Key_Space);
    });
    QTimer::singleShot(400, [&] { terminal.Exec(QStringLiteral("ROLLBACK")); });
    EXPECT_TRUE(waiting.Exec(insertFault_, {"waited"})) << waiting.LastError().description.toStdString();
    EXPECT_EQ(clicked, 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked, 1);
}

class SqliteCallBound : public CallBound
{
};

// A call given up at its bound: what the caller gave it may be gone or changed, and nothing of it
// is read again; the statement is cut short, so the file's lock is free for a fresh connection
// and the given-up thread ends.
TEST_P(SqliteCallBound, AGivenUpCallTouchesNothingOfItsCallerAndHoldsNoLock)
{
    constexpr auto kBound = 300ms;
    const int threads = Threads();
    Database db(QStringLiteral("given up"), kBound);
    ASSERT_TRUE(OpenBounded(db));
    ASSERT_TRUE(SlowPrepare::Install(db));
    {
        auto sql = std::make_unique<QString>(insertFault_);
        auto values = std::make_unique<QVariantList>(QVariantList{QStringLiteral("given up")});
        SlowPrepare::nextMs = 3 * int(kBound.count());
        EXPECT_FALSE(db.Exec(*sql, *values));
        (*values)[0] = QStringLiteral("changed");
        sql->fill(u'X');
    }
    EXPECT_TRUE(ThreadsEndTo(threads)) << "the connection's thread comes back from the slow prepare";
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Faults")), 0);

    ASSERT_TRUE(db.Reconnect()) << db.LastError().description.toStdString();
    // Never ends by itself, and writes: it holds the file's write lock while it runs.
    EXPECT_FALSE(db.Exec(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                        "INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, "
                                        "SyF_Faultinfo) SELECT 'endless', 0, x FROM c WHERE x < 0")));
    EXPECT_EQ(db.LastError().number, 0) << db.LastError().description.toStdString();
    EXPECT_TRUE(ThreadsEndTo(threads));
    ASSERT_TRUE(db.Reconnect()) << db.LastError().description.toStdString();
    EXPECT_TRUE(db.Exec(insertFault_, {"fresh"})) << db.LastError().description.toStdString();
    db.Close();
    EXPECT_TRUE(ThreadsEndTo(threads));
}

// The give-up holds its caller no longer than the bound and the grace after it: a close that
// would overstay is given up too, and its thread ends by itself.
TEST_P(SqliteCallBound, AGivenUpCallReturnsWithinItsBoundCloseIncluded)
{
    constexpr auto kBound = 300ms;
    const int threads = Threads();
    Database db(QStringLiteral("slow close"), kBound);
    ASSERT_TRUE(OpenBounded(db));
    ASSERT_TRUE(SlowPrepare::Install(db));
    ASSERT_TRUE(SlowClose::Install(db));
    // The call cut short comes back just after the bound; its close takes far longer.
    SlowPrepare::nextMs = int(kBound.count()) + 30;
    SlowClose::nextMs = 4 * int(kBound.count());
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(db.Exec(insertFault_, {"slow close"}));
    const qint64 elapsed = took.elapsed();
    RecordProperty("returned_ms", int(elapsed));
    EXPECT_LE(elapsed, kBound.count() + 200);
    EXPECT_EQ(db.LastError().description,
              QStringLiteral("No answer from the database within 0.3 s: timeout expired"));
    EXPECT_TRUE(db.ConnectionLost());
    EXPECT_TRUE(ThreadsEndTo(threads));
    EXPECT_EQ(SlowClose::nextMs, 0) << "the close ran";
}

INSTANTIATE_TEST_SUITE_P(Drivers, SqliteCallBound, ::testing::Values(Database::Driver::SQLite), DriverName);

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
    // A transaction whose work stores nothing takes no lock, so it never waits for one.
    QElapsedTimer empty;
    empty.start();
    EXPECT_TRUE(waiting.Transaction([](DbSession&) { return true; }));
    EXPECT_LT(empty.elapsed(), 100);
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
        if (std::string_view(c.name) != "reconnect") {
            EXPECT_TRUE(db.LastError().description.contains(QStringLiteral(" within 1.5 s: ")))
                << db.LastError().description.toStdString();
        }
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

// The program ends with its connection closed, also when the server froze with statements it
// had prepared: the close is given up at the bound like any call.
TEST_F(FrozenServer, AnExitOnAFrozenServerEndsWithinTheBound)
{
    auto db = std::make_unique<Database>(QStringLiteral("exiting"), kBound);
    ASSERT_TRUE(db->OpenPostgres(server_)) << db->LastError().description.toStdString();
    ASSERT_TRUE(db->Select(QStringLiteral("SELECT ?::int"), {1}));
    ASSERT_TRUE(db->Exec(QStringLiteral("SELECT ?::int"), {1}));
    proxy_->SetMode(StallingProxy::Mode::Freeze);
    QElapsedTimer exiting;
    exiting.start();
    db->Close();
    db.reset();
    EXPECT_LE(exiting.elapsed(), kBound.count() + 300);
}

// libpq's messages are read in English on the connection's thread, whatever the process's
// locale, which no connection attempt changes while other threads run.
TEST_F(FrozenServer, AConnectLeavesTheProcessLocaleAlone)
{
    const std::string before = std::setlocale(LC_MESSAGES, "C.UTF-8");
    std::string during;
    QTimer::singleShot(300, [&] { during = std::setlocale(LC_MESSAGES, nullptr); });
    proxy_->SetMode(StallingProxy::Mode::Freeze);
    Database db(QStringLiteral("connecting"), kBound);
    EXPECT_FALSE(db.OpenPostgres(server_));
    EXPECT_EQ(db.LastError().number, 12170) << db.LastError().description.toStdString();
    EXPECT_EQ(during, before);
    std::setlocale(LC_MESSAGES, "C");
}

} // namespace
