#include "log_step.h"

#include "log_block.h"

#include <db/database.h>
#include <link/int_codec.h>
#include <link/unit_command.h>

namespace {
constexpr int kPageReadLength = 6;
constexpr int kPointerReadLength = 2;
constexpr qint32 kPageSnMask = 0xFFFFFF; // a page carries the low 24 bits of its number
} // namespace

QString MultiRowInsert(const QString& table, const QString& columns, int width, std::size_t rows)
{
    QString group = QStringLiteral("(?");
    for (int i = 1; i < width; ++i)
        group += QStringLiteral(",?");
    group += QLatin1Char(')');
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns);
    for (std::size_t r = 0; r < rows; ++r) {
        if (r > 0)
            sql += QLatin1Char(',');
        sql += group;
    }
    return sql;
}

struct LogStep::Read
{
    bool resync = false;
    int slot = 0;
    int offset = 0;
    bool firstHalf = true;
    int start = 0;
    int end = 0;
    qint32 page = 0; // the number of the page the read must find
};

LogStep::LogStep(Database& db, UnitExchange exchange) : db_(db), exchange_(std::move(exchange)) {}

LogStepResult LogStep::Run(const LogPointer& pointer, LogTarget& target, const std::function<bool()>& prepare)
{
    if (!LogPointerInRange(pointer, target.ring))
        return {LogStepOutcome::PointersInvalid};
    if (!LogHasNewData(pointer, target.counters))
        return {};
    LogStepResult result{LogStepOutcome::DatabaseFailed};
    if (prepare())
        result = Take(pointer, target);
    result.newData = true;
    result.morePending =
        (result.outcome == LogStepOutcome::Done || result.outcome == LogStepOutcome::Refused) &&
        LogHasNewData(pointer, target.counters);
    return result;
}

LogStepResult LogStep::Take(const LogPointer& p, LogTarget& t)
{
    std::vector<QVariantList> rows;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Read read = PlanRead(p, t);
        rows.clear();
        bool bad = false;
        if (read.end > read.start) {
            if (const LinkResult sent = SendPageRead(t, read); sent != LinkOk)
                return {LogStepOutcome::LinkFailed, sent};
            bool trusted = false;
            if (const LinkResult asked = Trusted(p, t, read, trusted); asked != LinkOk)
                return {LogStepOutcome::LinkFailed, asked};
            if (!trusted)
                return {LogStepOutcome::Refused};
            bad = t.decode(std::span<const quint8>(page_).first(kLogHalfPage), read.firstHalf, read.start,
                           read.end, rows);
        }
        if (bad && attempt == 0)
            continue;
        const LogCounters moved{read.page, qint16(read.offset + read.end),
                                qint32(t.counters.LastRecSN + rows.size())};
        switch (StoreLogRows(db_, t, rows, moved)) {
        case LogStore::Stored:
            return {};
        case LogStore::Failed:
            return {LogStepOutcome::DatabaseFailed};
        case LogStore::CountersMoved:
            return {LogStepOutcome::CountersMoved};
        }
    }
    return {};
}

LogStep::Read LogStep::PlanRead(const LogPointer& p, const LogTarget& t) const
{
    const LogCounters& c = t.counters;
    Read r;
    if (LogNeedsResync(p, c, t.ring)) {
        r.resync = true;
        r.slot = p.OldestPage;
        r.page = OldestPageNumber(p, t.ring);
        r.end = p.OldestPage == p.WritePage && p.PageBytesWritten < kLogHalfPage ? p.PageBytesWritten
                                                                                 : kLogHalfPage;
        return r;
    }
    r.slot = SlotOfPage(p, c.LastPageSN, t.ring);
    r.page = c.LastPageSN;
    if (c.PageBytesTaken >= kLogPageSize) {
        r.slot = (r.slot + 1) % t.ring;
        r.page = c.LastPageSN + 1;
    } else if (c.PageBytesTaken < kLogHalfPage) {
        r.start = c.PageBytesTaken;
    } else {
        r.offset = kLogHalfPage;
        r.firstHalf = false;
        r.start = c.PageBytesTaken - kLogHalfPage;
    }
    r.end = kLogHalfPage;
    if (r.slot == p.WritePage)
        r.end = std::min<int>(p.PageBytesWritten - r.offset, kLogHalfPage);
    return r;
}

LinkResult LogStep::SendPageRead(const LogTarget& t, const Read& read)
{
    RequestFrame request{CmdReadLogPage, t.logNumber};
    WriteU16(request, 2, read.offset);
    WriteU16(request, 4, read.slot);
    return exchange_(request, page_, kPageReadLength);
}

LinkResult LogStep::Trusted(const LogPointer& p, const LogTarget& t, const Read& read, bool& trusted)
{
    const auto half = std::span<const quint8>(page_).first(kLogHalfPage);
    const bool numbered = read.offset == 0 && LogBlock44::ChecksumOk(half);
    trusted = true;
    if (numbered) {
        // A resynchronising read must find the oldest page too, else its rows would be counted
        // as that page's.
        trusted = ReadU24(half, t.pageSnAt) == (read.page & kPageSnMask);
    } else if (read.slot == p.OldestPage) {
        // Without a page number, the oldest slot is trusted only while the unit has not moved on
        // from it: the page read was then still the one the pointers named.
        RequestFrame request{CmdReadLogPointer, t.logNumber};
        if (const LinkResult result = exchange_(request, pointer_, kPointerReadLength); result != LinkOk)
            return result;
        trusted = ReadLogPointer(pointer_, 0).OldestPage == p.OldestPage;
    }
    return LinkOk;
}

namespace {
// One statement that moves the counters and, only when they moved, appends the rows: a single
// statement is one transaction of its own, and on PostgreSQL it costs one round trip instead of
// four. It gives the number of counter rows moved: a trigger may store the rows in another table
// and report none inserted. The first row's values are cast to the columns' types, from which the
// others take theirs.
QString MovingInsert(const LogTarget& t, std::size_t rows)
{
    QString first;
    for (const QString& type : t.rowTypes)
        first += (first.isEmpty() ? QStringLiteral("(?::") : QStringLiteral(",?::")) + type;
    QString sql = MultiRowInsert(t.historyTable, t.rowColumns, int(t.rowTypes.size()), rows);
    const qsizetype values = sql.indexOf(QLatin1String(" VALUES "));
    const qsizetype firstEnd = sql.indexOf(u')', values);
    return QStringLiteral(
               "WITH moved AS (%1 RETURNING 1), stored AS (%2 SELECT * FROM (VALUES %3%4) AS r WHERE "
               "EXISTS (SELECT 1 FROM moved)) SELECT COUNT(*) FROM moved")
        .arg(t.countersUpdate, sql.left(values), first, sql.mid(firstEnd));
}
} // namespace

LogStore StoreLogRows(Database& db, LogTarget& t, const std::vector<QVariantList>& rows,
                      const LogCounters& moved)
{
    QVariantList update{moved.LastPageSN, moved.PageBytesTaken, moved.LastRecSN};
    update << t.ownerKey << t.counters.LastPageSN << t.counters.PageBytesTaken << t.counters.LastRecSN;
    QVariantList values;
    qint32 number = t.counters.LastRecSN;
    for (const QVariantList& row : rows)
        values << row << ++number;
    // A store that ran without error but matched no owner's row found the counters moved.
    auto outcome = LogStore::Failed;
    if (db.DriverInUse() == Database::Driver::PostgreSQL && !rows.empty()) {
        if (const auto owners = db.Select(MovingInsert(t, rows.size()), update + values))
            outcome = owners->value(0).value(0).toInt() == 1 ? LogStore::Stored : LogStore::CountersMoved;
    } else {
        const QString insert = rows.empty() ? QString()
                                            : MultiRowInsert(t.historyTable, t.rowColumns,
                                                             int(rows.front().size()) + 1, rows.size());
        if (db.Transaction([insert, values, countersUpdate = t.countersUpdate, update](DbSession& session) {
                if (!insert.isEmpty() && !session.Exec(insert, values))
                    return false;
                const auto changed = session.Exec(countersUpdate, update);
                return changed && *changed == 1;
            }))
            outcome = LogStore::Stored;
        else if (db.LastError().description.isEmpty())
            // Every failed statement, and a call given up, leaves its error: the work declined.
            outcome = LogStore::CountersMoved;
    }
    if (outcome == LogStore::Stored)
        t.counters = moved;
    return outcome;
}
