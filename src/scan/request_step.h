#pragma once

#include "system_runtime_record.h"
#include "terminal_command.h"

#include <QVariant>

#include <optional>
#include <vector>

class Database;
class DbSession;
class UnitLink;

// Whether a terminal has left a request not yet answered; nothing on a database error (in
// db.LastError()).
std::optional<bool> TerminalRequestPending(Database& db);

// A pending row as the step reads it.
struct PendingRequest
{
    QVariant id;
    QVariant serial;
    QVariant type;
    QString attributes;        // at most kLongestAttributes characters of the text
    qint64 attributesLength{}; // of the whole text
};

// Up to RequestStep::kBatchRows pending rows in id order: those after the row id `after`, or
// from the first when it is null. Nothing on a database error.
std::optional<std::vector<PendingRequest>> ReadPendingRequests(Database& db, const QVariant& after);

// Executes the commands that client terminals leave in Terminal_Requests. Every row taken up
// is answered in the same step: rows that reach a unit (at most two per step) are sent to it,
// the others (unit not in the run or offline, type not served, malformed attributes) are
// answered at once. The outcome never changes a unit's runtime state.
class RequestStep
{
public:
    static constexpr int kBudget = 2;
    // Pending rows are read this many at a time, so a long queue of rows answered at once
    // never has to be held whole.
    static constexpr int kBatchRows = 16;

    RequestStep(Database& db, UnitLink& link) : db_(db), link_(link) {}

    // False on a database error (in db.LastError()); the rows not yet answered stay pending.
    bool Run(const std::vector<SystemRuntimeRecord>& units);

private:
    // Sends one row's command and answers the row; false on a database error.
    bool Execute(const SystemRuntimeRecord& unit, TerminalCommand command, const QVariant& id);
    static bool Answer(DbSession& db, const QVariant& id, int reply);

    Database& db_;
    UnitLink& link_;
};
