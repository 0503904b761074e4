#pragma once

#include "test_databases.h"

#include <db/database.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The real server and a simulated unit as processes: the unit on the pseudo-terminal COM1 maps
// to, listed in a database of their own (an SQLite file, or a PostgreSQL database of the test
// server), which db_ reads.
class ServerProcessTest : public ::testing::TestWithParam<Database::Driver>
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The unit serial_ on COM1, with further arguments, once it serves.
    void StartUnit(const QStringList& arguments);
    void StartServer();
    // Ends a process at once, or normally (SIGTERM) when gently.
    static void Stop(QProcess& process, bool gently = false);

    // Rows taken so far, by the counters.
    int Taken();
    // Waits until the counters have passed `from`. A server that ended or stores nothing for half a
    // minute fails the case at once: a wrong download must not run into the time limit of ctest.
    bool Progressed(int from);

    const QString serial_ = QStringLiteral("C1");
    QTemporaryDir home_;
    Database db_{QStringLiteral("process-check")};
    QProcess unit_;
    QProcess server_;

private:
    QString DropPgDatabase() const;

    QString pgName_;
    Database admin_{QStringLiteral("process-admin")};
};
