#pragma once

#include "db_statements.h"

#include <QHash>

struct pg_conn;
struct pg_result;

// The statements of a PostgreSQL connection: each SQL text with values is prepared once on the
// server and kept, and the values travel as parameters of their own. Through the Qt driver every
// value is written into the text of an EXECUTE that the server parses again each time. Those
// prepared end with the session.
class PgStatements : public DbStatements
{
public:
    // The statements kept at most, on the client and on the server alike.
    static constexpr qsizetype kMaxStatements = 64;

    PgStatements(pg_conn* connection, const DbCut& cut) : DbStatements(cut), db_(connection) {}

    std::optional<int> Exec(const QString& sql, const QVariantList& values) override;
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values) override;
    bool FailedOnStalePlan() const override { return stale_; }

private:
    // The statement's result when it succeeded, to be cleared by the caller; nullptr otherwise.
    pg_result* Run(const QString& sql, const QVariantList& values);
    const QByteArray* Prepared(const QString& sql, int parameters);
    // The result of a statement that succeeded; otherwise nullptr, with the error set and stale_
    // telling whether the server declared the statement's plan stale.
    pg_result* Succeeded(pg_result* result);
    // A statement whose result is of no use succeeded; its result is cleared either way.
    bool Done(pg_result* result);
    // Drops the statements kept, to make room for others or to make them afresh: they are
    // deallocated before the next is prepared.
    void Forget();
    QString ErrorOf(const pg_result* result) const;

    pg_conn* db_;
    // The server-side name of each statement prepared.
    QHash<QString, QByteArray> statements_;
    int made_ = 0;
    bool deallocate_ = false;
    bool stale_ = false;
};
