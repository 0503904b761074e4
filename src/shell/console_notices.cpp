#include "console_notices.h"

#include <QMutexLocker>

#include <cstdio>

namespace {
// Messages that Qt and its drivers repeat for one cause, by a text they contain, and what the
// operator reads instead.
struct KnownMessage
{
    QLatin1StringView contains;
    QLatin1StringView line;
};

constexpr KnownMessage kKnownMessages[] = {
    // The driver drops every prepared statement of a broken connection, one message each.
    {QLatin1StringView("Unable to free statement"),
     QLatin1StringView("The connection to the PostgreSQL server was lost; the server reconnects by itself "
                       "once the database answers again. If the status line keeps showing a database error, "
                       "check that the PostgreSQL server is running and reachable.")},
};

ConsoleNotices* installed = nullptr;

void WriteNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (const auto line = installed->Line(qFormatLogMessage(type, context, message))) {
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
    if (installed == this) {
        qInstallMessageHandler(nullptr);
        installed = nullptr;
    }
}

QString ConsoleNotices::Translated(const QString& message)
{
    for (const KnownMessage& known : kKnownMessages)
        if (message.contains(known.contains))
            return known.line;
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
    installed = &notices;
    qInstallMessageHandler(WriteNotice);
}
