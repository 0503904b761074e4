#pragma once

#include "database.h"

#include <QProcess>
#include <QTemporaryDir>

// A PostgreSQL server of a test's own on 127.0.0.1 (scripts/pg-test-server), in a temporary
// folder, with the test server's role and its database telvaron_test. It ends with the object, and
// with the process whatever ends it (a time-out's SIGKILL included): a keeper in a session of its
// own runs it as its child, stops it once the pipe from this process closes, and takes it along
// when the keeper itself is killed (as ctest kills a test's whole process tree).
class OwnPgServer
{
public:
    OwnPgServer();
    // Stops the server and waits for its keeper to end.
    ~OwnPgServer();
    OwnPgServer(const OwnPgServer&) = delete;
    OwnPgServer& operator=(const OwnPgServer&) = delete;

    // Whether the server started; Problem() tells why not.
    bool Started() const { return started_; }
    // Runs an action of scripts/pg-test-server on the server: "restart", "halt" or "resume".
    // Whether it succeeded; Problem() tells why not.
    bool Run(const QString& action);
    QString Problem();

    quint16 Port() const { return port_; }
    // The folder that holds the cluster (in data/) and the server's log.
    QString Folder() const { return folder_.path(); }
    PgServer Server() const;

private:
    // The keeper's answer to the last request: "done" or "failed".
    bool Answered();

    QTemporaryDir folder_;
    quint16 port_;
    QProcess keeper_;
    bool started_ = false;
};
