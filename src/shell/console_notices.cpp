#include "console_notices.h"

#include <db/pg_failure.h>

#include <QMutexLocker>

#include <cstdio>

namespace {
// The driver drops every prepared statement of a broken connection, one message each: the
// operator reads one line that says what to do instead.
constexpr QLatin1StringView kFreeStatement("Unable to free statement");
constexpr QLatin1StringView kLostConnection(
    "The connection to the PostgreSQL server was lost; the server reconnects by itself once the database "
    "answers again. If the status line keeps showing a database error, check that the PostgreSQL server is "
    "running and reachable.");

// Whether the driver's message tells of a connection that is gone, broken under the statement or
// found broken before it was sent. A statement dropped inside a failed transaction gets the same
// first words on a connection that is well ("current transaction is aborted").
bool TellsOfLostConnection(const QString& message)
{
    return PgFailureOraCode(message) == QLatin1StringView("03135") ||
           message.contains(QLatin1StringView("no connection to the server"));
}

// The notices that messages go to, held while a message is written so that they cannot end
// under a message of another thread.
QMutex installedMutex;
ConsoleNotices* installed = nullptr;

void WriteNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString formatted = qFormatLogMessage(type, context, message);
    const QMutexLocker lock(&installedMutex);
    // A message that came in while the notices ended is written as Qt would.
    const auto line = installed ? installed->Line(formatted) : std::optional<QString>(formatted);
    if (line) {
        std::fprintf(stderr, "%s\n", qPrintable(*line));
        std::fflush(stderr);
    }
}
} // namespace

ConsoleNotices::ConsoleNotices(std::chrono::milliseconds quiet, Clock clock)
    : quiet_(quiet), clock_(std::move(clock))
{
}

ConsoleNotices::~ConsoleNotices()
{
    const QMutexLocker lock(&installedMutex);
    if (installed == this) {
        qInstallMessageHandler(nullptr);
        installed = nullptr;
    }
}

QString ConsoleNotices::Translated(const QString& message)
{
    if (message.contains(kFreeStatement) && TellsOfLostConnection(message))
        return kLostConnection;
    // Driver messages end in a line break of their own.
    QString line = message;
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    return line;
}

std::optional<QString> ConsoleNotices::Line(const QString& message)
{
    const QString line = Translated(message);
    const auto now = clock_();
    const QMutexLocker lock(&mutex_);
    const auto seen = lastSeen_.constFind(line);
    if (seen != lastSeen_.cend() && now - *seen < quiet_) {
        lastSeen_[line] = now;
        return std::nullopt;
    }
    // Lines of ended episodes are forgotten, so messages that differ every time do not pile up.
    lastSeen_.removeIf([&](const auto& entry) { return now - entry.value() >= quiet_; });
    lastSeen_.insert(line, now);
    return line;
}

void InstallConsoleNotices(ConsoleNotices& notices)
{
    const QMutexLocker lock(&installedMutex);
    installed = &notices;
    qInstallMessageHandler(WriteNotice);
}
