// Holds a PostgreSQL server of its own until it is killed: prints the server's folder once the
// server runs, then waits.
#include "own_pg_server.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    OwnPgServer server;
    if (!server.Started()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.Problem()));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.Folder()));
    std::fflush(stdout);
    return app.exec();
}
