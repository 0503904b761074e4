// Usage: db_freeze_bench [connection-freeze-s [server-freeze-s]] (default 30 20).
// Runs a scan over two simulated units that download their logs, on a PostgreSQL server of its
// own, and freezes first the server's backend of the scan's connection (SIGSTOP), then the whole
// database server, each for at most the given time. Prints: the seconds until the units' rows
// are stored again while the connection stays frozen, the longest time the event loop was held
// during each freeze, and the seconds until rows are stored again after the server resumes.
#include "bench_scan.h"
#include "bench_units.h"
#include "headless.h"

#include "free_tcp_port.h"
#include "test_databases.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

bool Cluster(const QStringList& arguments)
{
    QProcess script;
    script.start(QStringLiteral(TELVARON_PG_TEST_SERVER), arguments);
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

// The server's main process and all its children.
std::vector<pid_t> ServerProcesses(const QString& folder)
{
    QFile pidFile(folder + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return {};
    const pid_t main = pid_t(QString::fromLatin1(pidFile.readLine()).trimmed().toInt());
    std::vector<pid_t> pids{main};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...
        const QString text = QString::fromLatin1(stat.readAll());
        const QStringList rest = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        if (rest.size() > 1 && rest.at(1).toInt() == main)
            pids.push_back(pid_t(entry.toInt()));
    }
    return pids;
}

void Signal(const std::vector<pid_t>& pids, int signal)
{
    for (const pid_t pid : pids)
        ::kill(pid, signal);
}

class FreezeBench
{
public:
    FreezeBench(Database& db, Database& monitor, const QString& folder, int units)
        : db_(db), monitor_(monitor), units_(db, folder, units), scan_(db, folder)
    {
        QObject::connect(&probe_, &QTimer::timeout,
                         [this] { longestGap_ = std::max(longestGap_, gap_.restart()); });
        probe_.start(10);
        gap_.start();
    }

    // One pass, with new samples in every unit's logs so that every pass has rows to store.
    void Pass()
    {
        for (auto& logs : units_.logs)
            for (int n = 1; n <= 20; ++n)
                logs->AppendSamples(n, 2);
        scan_.engine.ScanSystems();
        // The pause between passes, with the window's events running.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    long StoredRows()
    {
        const auto rows = monitor_.Select(QStringLiteral("SELECT COUNT(*) FROM Records"));
        return rows && !rows->empty() ? rows->front().value(0).toLongLong() : -1;
    }

    // Passes until rows are stored beyond `before`, at most `limitMs`; the seconds it took, or
    // -1. checkMonitor: the monitor may be asked meanwhile (the server as a whole answers).
    double PassUntilStored(long before, qint64 limitMs, const std::atomic<bool>* mayAsk = nullptr)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < limitMs) {
            Pass();
            if ((!mayAsk || *mayAsk) && StoredRows() > before)
                return clock.elapsed() / 1000.0;
        }
        return -1;
    }

    void ResetGap()
    {
        gap_.restart();
        longestGap_ = 0;
    }
    qint64 LongestGap() const { return std::max(longestGap_, gap_.elapsed()); }

    // The backend of the scan's connection.
    pid_t ScanBackend()
    {
        const auto rows = monitor_.Select(QStringLiteral(
            "SELECT pid FROM pg_stat_activity WHERE usename='telvaron' AND pid<>pg_backend_pid() "
            "AND backend_type='client backend'"));
        return rows && rows->size() == 1 ? pid_t(rows->front().value(0).toInt()) : 0;
    }

private:
    Database& db_;
    Database& monitor_;
    BenchUnits units_;
    BenchScan scan_;
    QTimer probe_;
    QElapsedTimer gap_;
    qint64 longestGap_ = 0;
};

// Resumes the frozen processes after at most limitMs, from a thread of its own: a program that
// waits on the frozen server without a bound would never get to it.
class Thaw
{
public:
    Thaw(std::vector<pid_t> pids, qint64 limitMs)
        : thread_([this, pids = std::move(pids), limitMs] {
              Signal(pids, SIGSTOP);
              const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
              while (!now_ && std::chrono::steady_clock::now() < until)
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              Signal(pids, SIGCONT);
              thawed_ = true;
          })
    {
    }
    ~Thaw()
    {
        now_ = true;
        thread_.join();
    }
    void Now() { now_ = true; }
    const std::atomic<bool>& Thawed() const { return thawed_; }

private:
    std::atomic<bool> now_ = false;
    std::atomic<bool> thawed_ = false;
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    RunOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const qint64 connectionFreezeMs = (argc > 1 ? std::atoi(argv[1]) : 30) * 1000LL;
    const qint64 serverFreezeMs = (argc > 2 ? std::atoi(argv[2]) : 20) * 1000LL;

    QTemporaryDir cluster;
    const quint16 port = FreeTcpPort();
    const QString folder = cluster.path();
    if (!Cluster({QStringLiteral("start"), folder, QString::number(port)})) {
        std::fprintf(stderr, "cannot start a PostgreSQL server\n");
        return 1;
    }
    PgServer server;
    server.serverIp = QStringLiteral("127.0.0.1");
    server.serverPort = QString::number(port);
    server.dataSource = QStringLiteral("telvaron_test");
    int status = 0;
    {
        auto testDb = TestDatabase::Create(Database::Driver::PostgreSQL, QStringLiteral("DbConn"), server);
        Database monitor(QStringLiteral("monitor"));
        // A connection made again finds the tables too.
        if (!testDb || !monitor.OpenPostgres(server) ||
            !monitor.Exec(QStringLiteral("ALTER ROLE telvaron SET search_path TO ") + testDb->PgSchema()) ||
            !monitor.Exec(QStringLiteral("SET search_path TO ") + testDb->PgSchema())) {
            std::fprintf(stderr, "cannot prepare the database\n");
            status = 1;
        } else {
            QTemporaryDir ports;
            FreezeBench bench(testDb->Db(), monitor, ports.path(), 2);
            for (int pass = 0; pass < 5; ++pass)
                bench.Pass();

            // The scan's own connection freezes; the rest of the server works.
            const pid_t backend = bench.ScanBackend();
            double storedAgain = -1;
            qint64 connectionGap = 0;
            {
                const long before = bench.StoredRows();
                const Thaw thaw({backend}, connectionFreezeMs);
                bench.ResetGap();
                storedAgain = bench.PassUntilStored(before, connectionFreezeMs + 30000);
                connectionGap = bench.LongestGap();
            }
            bench.PassUntilStored(bench.StoredRows(), 30000);

            // The whole server freezes, then resumes.
            double afterResume = -1;
            qint64 serverGap = 0;
            {
                const long before = bench.StoredRows();
                Thaw thaw(ServerProcesses(folder), serverFreezeMs);
                bench.ResetGap();
                QElapsedTimer frozen;
                frozen.start();
                while (!thaw.Thawed())
                    bench.Pass();
                serverGap = bench.LongestGap();
                afterResume = bench.PassUntilStored(before, 60000);
                std::printf("server frozen for %.1f s\n", frozen.elapsed() / 1000.0);
            }
            std::printf("backend %d frozen for at most %lld s, whole server for %lld s\n", int(backend),
                        static_cast<long long>(connectionFreezeMs / 1000),
                        static_cast<long long>(serverFreezeMs / 1000));
            std::printf("stored again with the connection frozen   %6.1f s\n", storedAgain);
            std::printf("longest event-loop hold, connection frozen %6.1f s\n", connectionGap / 1000.0);
            std::printf("longest event-loop hold, server frozen     %6.1f s\n", serverGap / 1000.0);
            std::printf("stored again after the server resumed     %6.1f s\n", afterResume);
            std::fflush(stdout);
        }
    }
    Cluster({QStringLiteral("stop"), folder});
    return status;
}
