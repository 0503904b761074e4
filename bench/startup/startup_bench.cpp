// Usage: startup_bench [database sizes in MB, default 100 1000] [-r runs, default 3]. The start of
// the server on an SQLite file of each size as a site's would be (a long history in Records):
// the time until the window is shown, until the database is connected (backed up, compacted
// and open), and the most disk taken meanwhile beyond what the file and its older backup took,
// on a first start (no backup yet) and on a later one. Each run is made with the backup and
// compaction of the server and with VACUUM INTO the backup followed by VACUUM, in turns,
// next to the time a plain copy of the file takes. Files go to TMPDIR.
#include "fake_shell_prompter.h"
#include "headless.h"
#include "load_average.h"
#include "test_databases.h"

#include <db/database.h>
#include <db/sqlite_compaction.h>
#include <shell/database_opening.h>
#include <shell/main_window.h>
#include <shell/settings_store.h>
#include <shell/wait_form.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

qint64 Allocated(const char* path)
{
    struct stat s;
    return ::stat(path, &s) == 0 ? qint64(s.st_blocks) * 512 : 0;
}

// The disk that the files of a folder and the deleted files this process holds open (SQLite's
// temporary databases) take, sampled until stopped; the highest reading is kept.
class DiskWatch
{
public:
    explicit DiskWatch(const QString& folder) : folder_(QFile::encodeName(folder).toStdString())
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                peak_ = std::max(peak_.load(), Taken());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~DiskWatch() { Stop(); }
    qint64 Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return peak_;
    }
    qint64 Taken() const
    {
        qint64 sum = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error))
            sum += Allocated(entry.path().c_str());
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
            const auto target = std::filesystem::read_symlink(entry.path(), error);
            if (!error && target.string().ends_with(" (deleted)"))
                sum += Allocated(entry.path().c_str());
        }
        return sum;
    }

private:
    std::string folder_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> peak_{0};
    std::thread thread_;
};

// The backup and compaction as the server made them before: VACUUM INTO a copy that replaces
// the backup, then VACUUM in place.
void FormerBackUpAndCompact(const QString& file)
{
    const QString backup = BackupFileName(file);
    const QString copy = backup + QStringLiteral(".tmp");
    Database db(QStringLiteral("former"));
    if (!db.OpenSqlite(file) || !db.Exec(QStringLiteral("VACUUM INTO ?"), {copy}))
        return;
    std::filesystem::rename(QFile::encodeName(copy).toStdString(), QFile::encodeName(backup).toStdString());
    db.Exec(QStringLiteral("VACUUM"));
    db.Exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    db.Select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// A database of megabytes MB, a little more at most: a unit and years of its sensors' samples. The
// rows still wanted are reckoned from what each row has taken so far, so the file ends within a
// chunk's estimate of the size.
bool MakeDatabase(const QString& file, qint64 megabytes)
{
    QFile(file).open(QIODevice::WriteOnly);
    Database db(QStringLiteral("maker"));
    if (!db.OpenSqlite(file))
        return false;
    QFile schema(SchemaFile(Database::Driver::SQLite));
    if (!schema.open(QIODevice::ReadOnly) || !RunSqlScript(db, QString::fromUtf8(schema.readAll())))
        return false;
    db.Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, SyI_Aux1, "
                           "SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) VALUES ('B1', 1, 1, "
                           "'1-115200', 'TELVARON-1', '1', '1', 1)"));
    db.Exec(QStringLiteral("PRAGMA cache_size=-262144"));
    const qint64 wanted = megabytes * 1024 * 1024;
    const qint64 empty = QFileInfo(file).size();
    constexpr qint64 kFirstChunk = 100000, kLeastChunk = 1000, kMostChunk = 1000000;
    for (qint64 first = 0, size = empty; size < wanted; size = QFileInfo(file).size()) {
        const qint64 rows = first == 0
                                ? kFirstChunk
                                : std::clamp(qint64(double(wanted - size) * first / double(size - empty)),
                                             kLeastChunk, kMostChunk);
        const bool filled =
            db.Exec(QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                        "INSERT INTO "
                        "Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, Rec_Value, "
                        "Rec_Sensortype, Rec_SensRecSN) SELECT 'B1', i % 20 + 1, datetime('2010-01-01', '+' "
                        "|| (i "
                        "/ 20) || ' minutes'), (i % 1000) / 10.0, 1, i / 20 FROM n")
                        .arg(first)
                        .arg(first + rows - 1))
                .has_value();
        // The checkpoint moves the rows into the file, where their size shows.
        if (!filled || !db.Select(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
            return false;
        first += rows;
    }
    return true;
}

struct Figures
{
    std::vector<double> shown, connected, extra;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One start on file: the window shown and the database opened as the start-up does it.
void Start(const QString& file, const FilePreparation& prepare, bool firstStart, Figures& f)
{
    const QString backup = BackupFileName(file);
    if (firstStart)
        QFile::remove(backup);
    else if (!QFile::exists(backup))
        QFile::copy(file, backup);
    QTemporaryDir home;
    SettingsStore store(home.filePath(QStringLiteral("settings.conf")));
    store.Write(Setting::AppSettings, Setting::Init, QStringLiteral("1"));
    store.Write(Setting::AppSettings, Setting::DBType, QStringLiteral("0"));
    store.Write(Setting::AppSettings, Setting::DBFile, file);
    FakeShellPrompter prompter;
    ScanFlags flags;
    Database db(QStringLiteral("DbConn"));
    Mainfrm window(
        store, prompter, flags,
        MainWindowServices{.ScanSystems = [] {},
                           .startPing = [] {},
                           .showSystemsList = [] {},
                           .loadUsedUnits = [] { return std::optional<std::vector<SystemInfo>>(); },
                           .endProgram = [] {}});
    ::sync();
    DiskWatch disk(QFileInfo(file).absolutePath());
    const qint64 before = disk.Taken();
    QElapsedTimer clock;
    clock.start();
    ShowPainted(&window);
    f.shown.push_back(clock.nsecsElapsed() / 1e6);
    if (!OpenDatabase(
            store, prompter, db, &window, [] { std::fprintf(stderr, "the start ended\n"); }, prepare))
        return;
    f.connected.push_back(clock.nsecsElapsed() / 1e6);
    f.extra.push_back(double(disk.Stop() - before) / double(QFileInfo(file).size()));
}

void Run(qint64 megabytes, int runs)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tldb.db"));
    QElapsedTimer made;
    made.start();
    if (!MakeDatabase(file, megabytes)) {
        std::fprintf(stderr, "making the %lld MB database failed\n", static_cast<long long>(megabytes));
        return;
    }
    const double madeSeconds = made.elapsed() / 1e3;
    const double size = QFileInfo(file).size() / 1048576.0;
    const LoadSpan load;
    std::vector<double> copies;
    Figures now[2], former[2]; // [first start]
    for (int run = 0; run < runs; ++run) {
        ::sync();
        QElapsedTimer copy;
        copy.start();
        QFile::copy(file, file + QStringLiteral(".copy"));
        copies.push_back(copy.nsecsElapsed() / 1e6);
        QFile::remove(file + QStringLiteral(".copy"));
        for (const bool first : {true, false}) {
            Start(file, BackUpAndCompact, first, now[first]);
            Start(file, FormerBackUpAndCompact, first, former[first]);
        }
    }
    std::printf(
        "SQLite file of %.1f MB (%lld MB asked, made in %.0f s), median of %d runs, load %s; a copy of the "
        "file %.0f ms:\n",
        size, static_cast<long long>(megabytes), madeSeconds, runs, qPrintable(load.Text()), Median(copies));
    for (const bool first : {true, false}) {
        for (const bool isNow : {false, true}) {
            const Figures& f = isNow ? now[first] : former[first];
            std::printf(
                "  %-12s %-6s window shown %5.0f ms, connected %7.0f ms (%4.1fx the copy), extra disk at "
                "the peak %.2fx the file\n",
                first ? "first start" : "later start", isNow ? "server" : "vacuum", Median(f.shown),
                Median(f.connected), Median(f.connected) / Median(copies), Median(f.extra));
        }
        std::printf("  %-12s server/vacuum connected %.2f (target <= 0.6), extra disk target <= 2x\n",
                    first ? "first start" : "later start",
                    Median(now[first].connected) / Median(former[first].connected));
    }
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    RunOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    std::vector<qint64> sizes;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "-r" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            sizes.push_back(std::atoll(argv[i]));
    }
    if (sizes.empty())
        sizes = {100, 1000};
    for (const qint64 mb : sizes)
        Run(mb, runs);
    return 0;
}
