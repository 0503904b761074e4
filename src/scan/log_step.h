#pragma once

#include "log_pointers.h"

#include <link/frame.h>
#include <link/link_result.h>

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <span>
#include <vector>

class Database;

// One transaction with the unit whose logs are read.
using UnitExchange = std::function<LinkResult(RequestFrame& request, ReplyBuffer& reply, int dataLength)>;

// Decodes the entries of a half page between start and end into history rows (the values of
// every column but the running number); true when a visited block failed its check byte.
using LogRowDecoder = std::function<bool(std::span<const quint8> half, bool firstHalf, int start, int end,
                                         std::vector<QVariantList>& rows)>;

// One log of one unit: where its pages are, how they decode and where rows and counters go.
struct LogTarget
{
    quint8 logNumber = 0;
    int ring = kSensorLogRing;
    int pageSnAt = 2;
    LogRowDecoder decode;
    // The rows go into historyTable, its rowColumns listed with the running number last.
    QString historyTable;
    QString rowColumns;
    // The SQL types of rowColumns, in their order.
    QStringList rowTypes;
    // An UPDATE that sets the three counters from its first three values and matches the owner's
    // row by the key values, which follow, then by the three counters as they were.
    QString countersUpdate;
    QVariantList ownerKey;
    LogCounters counters;
};

enum class LogStepOutcome {
    Done,            // nothing new, or rows and counters stored
    LinkFailed,      // see linkResult: the turn ends
    DatabaseFailed,  // nothing stored, counters unchanged: the turn ends
    CountersMoved,   // the owner's counters in the database are no longer those read: nothing stored
    PointersInvalid, // the pointer cannot describe the log: skipped, counters unchanged
    Refused,         // the page read was not the one expected: nothing stored, counters unchanged
};

struct LogStepResult
{
    LogStepOutcome outcome = LogStepOutcome::Done;
    LinkResult linkResult = LinkOk;
    bool newData = false;     // the log held something beyond the counters
    bool morePending = false; // something is left for a later pass
};

// INSERT INTO table (columns) VALUES (?, ...), ... for rows rows of width values each.
QString MultiRowInsert(const QString& table, const QString& columns, int width, std::size_t rows);

enum class LogStore {
    Stored,
    Failed,        // a database error: see the database's last error
    CountersMoved, // the owner's counters are no longer those of the target
};

// Appends rows to the target's history table, numbered on from its counters, and moves the
// counters to moved, in one transaction: all of it is stored or nothing. target.counters follow.
LogStore StoreLogRows(Database& db, LogTarget& target, const std::vector<QVariantList>& rows,
                      const LogCounters& moved);

// Takes at most one half page of the log, trusting a read only when the page it holds is the
// one expected, reading a half with a bad block once more, and storing its rows together with
// the moved counters in one transaction. prepare runs once the log is known to hold something
// new, before any read; false from it counts as a database failure.
class LogStep
{
public:
    LogStep(Database& db, UnitExchange exchange);

    LogStepResult Run(
        const LogPointer& pointer, LogTarget& target,
        const std::function<bool()>& prepare = [] { return true; });

private:
    struct Read;
    LogStepResult Take(const LogPointer& p, LogTarget& t);
    Read PlanRead(const LogPointer& p, const LogTarget& t) const;
    LinkResult SendPageRead(const LogTarget& t, const Read& read);
    // Whether the half just read is the page the read expects; may ask the unit again.
    LinkResult Trusted(const LogPointer& p, const LogTarget& t, const Read& read, bool& trusted);

    Database& db_;
    UnitExchange exchange_;
    ReplyBuffer page_{};
    ReplyBuffer pointer_{};
};
