#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// What the server writes on its terminal, made from the messages of Qt and its drivers: a
// message is shown once while it keeps coming back, and again only after it has been quiet
// for a while (a new episode); the known noisy ones become one line the operator can act on.
// Messages may come from any thread.
class ConsoleNotices
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kQuiet{60};

    explicit ConsoleNotices(std::chrono::milliseconds quiet = kQuiet,
                            Clock clock = &std::chrono::steady_clock::now);
    // Gives the messages back to Qt's own output when these were installed.
    ~ConsoleNotices();
    ConsoleNotices(const ConsoleNotices&) = delete;
    ConsoleNotices& operator=(const ConsoleNotices&) = delete;

    // The line to show for a message, or nothing while it repeats one shown in this episode.
    std::optional<QString> Line(const QString& message);

    // The line that stands for a known noisy message, or the message itself without the line
    // break a driver ends it with.
    static QString Translated(const QString& message);

private:
    std::chrono::milliseconds quiet_;
    Clock clock_;
    QMutex mutex_;
    // When each line was last asked for, shown or not.
    QHash<QString, std::chrono::steady_clock::time_point> lastSeen_;
};

// Routes every Qt message of the program through notices to standard error.
void InstallConsoleNotices(ConsoleNotices& notices);
