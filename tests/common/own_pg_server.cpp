#include "own_pg_server.h"

#include "free_tcp_port.h"
#include "test_databases.h"

#include <unistd.h>

namespace {
// A request of the keeper's takes at most this long (a cluster made anew on a busy machine).
constexpr int kRequestMs = 120000;
} // namespace

OwnPgServer::OwnPgServer() : port_(FreeTcpPort())
{
    // A session of its own: a time-out that kills this process's group leaves the keeper to stop
    // the server.
    keeper_.setChildProcessModifier([] { ::setsid(); });
    keeper_.start(QStringLiteral(TELVARON_PG_TEST_SERVER),
                  {QStringLiteral("serve"), folder_.path(), QString::number(port_)});
    started_ = Answered();
}

OwnPgServer::~OwnPgServer()
{
    keeper_.closeWriteChannel();
    keeper_.waitForFinished(kRequestMs);
}

bool OwnPgServer::Run(const QString& action)
{
    keeper_.write(action.toUtf8() + '\n');
    return Answered();
}

bool OwnPgServer::Answered()
{
    while (!keeper_.canReadLine())
        if (!keeper_.waitForReadyRead(kRequestMs))
            return false;
    return keeper_.readLine().trimmed() == "done";
}

QString OwnPgServer::Problem()
{
    const QString said = QString::fromUtf8(keeper_.readAllStandardError());
    return keeper_.error() == QProcess::UnknownError ? said : said + keeper_.errorString();
}

PgServer OwnPgServer::Server() const
{
    return TestPgServerAt(QString::number(port_));
}
