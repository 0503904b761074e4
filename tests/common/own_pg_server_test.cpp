// A test's own PostgreSQL server ends with the test process that holds it, however that is killed.
#include "own_pg_server.h"
#include "test_databases.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/types.h>

namespace {

// A process, told apart from a later one of the same id by its start time.
struct Process
{
    pid_t pid;
    QByteArray started;
};

// The fields of /proc/<pid>/stat after the command name: state is [0], the parent [1], the
// start time [19]; empty when there is no such process.
QList<QByteArray> StatFields(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Alive, not merely a zombie that nobody reaped.
bool Running(const Process& p)
{
    const QList<QByteArray> fields = StatFields(p.pid);
    return fields.size() > 19 && fields[19] == p.started && fields[0] != "Z";
}

QList<Process> ChildrenOf(pid_t parent)
{
    QList<Process> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        const QList<QByteArray> fields = number ? StatFields(pid) : QList<QByteArray>{};
        if (fields.size() > 19 && fields[1].toInt() == parent)
            children.append({pid, fields[19]});
    }
    return children;
}

QList<Process> DescendantsOf(pid_t parent)
{
    QList<Process> all;
    for (const Process& child : ChildrenOf(parent))
        all += DescendantsOf(child.pid) << child;
    return all;
}

// The server of the cluster in folder: its postmaster and the postmaster's children.
QList<Process> ServerProcesses(const QString& folder)
{
    QFile pidFile(folder + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return {};
    const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toInt());
    const QList<QByteArray> fields = StatFields(postmaster);
    if (fields.size() <= 19)
        return {};
    return ChildrenOf(postmaster) << Process{postmaster, fields[19]};
}

enum class Kill { TheProcess, ItsWholeTree };

const char* KillName(Kill kill)
{
    return kill == Kill::TheProcess ? "TheProcess" : "ItsWholeTree";
}

void PrintTo(Kill kill, std::ostream* out)
{
    *out << KillName(kill);
}

class OwnPgServerEnd : public ::testing::TestWithParam<Kill>
{
};

TEST_P(OwnPgServerEnd, NoProcessOfTheServerOutlivesAKilledHolder)
{
    // Only where the test server runs, that is where PostgreSQL is installed.
    if (!TestPgServer())
        GTEST_SKIP() << "no test PostgreSQL server";
    QProcess holder;
    holder.start(QStringLiteral(OWN_PG_SERVER_HOLDER));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return holder.canReadLine() || holder.state() == QProcess::NotRunning; }, 120000));
    const QString folder = QString::fromUtf8(holder.readLine()).trimmed();
    ASSERT_FALSE(folder.isEmpty()) << holder.readAllStandardError().toStdString();
    const QList<Process> server = ServerProcesses(folder);
    ASSERT_FALSE(server.isEmpty());

    // As a time-out kills a test: ctest's SIGKILL reaches every process below the test too.
    if (GetParam() == Kill::ItsWholeTree)
        for (const Process& below : DescendantsOf(pid_t(holder.processId())))
            ::kill(below.pid, SIGKILL);
    ::kill(pid_t(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished(5000));

    if (!QTest::qWaitFor([&] { return std::none_of(server.begin(), server.end(), Running); }, 10000)) {
        for (const Process& p : server) {
            if (Running(p)) {
                ADD_FAILURE() << "still running: " << p.pid;
                ::kill(p.pid, SIGKILL);
            }
        }
    }
    QDir(folder).removeRecursively();
}

INSTANTIATE_TEST_SUITE_P(Kills, OwnPgServerEnd, ::testing::Values(Kill::TheProcess, Kill::ItsWholeTree),
                         [](const auto& info) { return KillName(info.param); });

} // namespace
