#pragma once

#include "test_databases.h"

#include <db/database.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The real server and the simulated TELVARON-1 unit C1 on COM1 (a pseudo-terminal) as processes,
// over a database of the case's own: an SQLite file, or a PostgreSQL database on the test server.
// The unit is listed with every input used; the server connects when it starts.
class ServerRun : public ::testing::TestWithParam<Database::Driver>
{
protected:
    static constexpr int kSensors = 20;
    static inline const QString kSerial = QStringLiteral("C1");

    void SetUp() override;
    void TearDown() override;

    // The unit with samples per sensor and events logged before it serves, interval minutes apart.
    void StartUnit(int samples, int events, int interval);
    // The unit with further arguments, once it serves.
    void StartUnit(const QStringList& arguments);
    void StartServer();
    // Ends a process at once, or normally (SIGTERM) when gently.
    static void Stop(QProcess& process, bool gently = false);

    // Rows taken so far, by the counters.
    int Taken();
    // Waits until the counters have passed `from`. A server that ended or stores nothing for half a
    // minute fails the case at once: a wrong download must not run into the time limit of ctest.
    bool Progressed(int from);
    // Cuts the server's connection to its PostgreSQL database, as a restart of the database does.
    bool CutServerConnection();

    QTemporaryDir home_;
    QString pgName_;
    Database admin_{QStringLiteral("run-admin")};
    Database db_{QStringLiteral("run-check")};
    QProcess unit_;
    QProcess server_;

private:
    QString DropPgDatabase() const;
};
