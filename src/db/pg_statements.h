#pragma once

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <optional>

class DbCut;
struct pg_conn;
struct pg_result;

// The statements of a PostgreSQL connection, run without the Qt driver: each SQL text with values
// is prepared once on the server and kept, and the values travel as parameters of their own.
// Through the driver every value is written into the text of an EXECUTE that the server parses
// again each time.
class PgStatements
{
public:
    // cut: a statement prepared after its caller gave up is not run.
    PgStatements(pg_conn* connection, const DbCut& cut) : db_(connection), cut_(cut) {}
    ~PgStatements();
    PgStatements(const PgStatements&) = delete;
    PgStatements& operator=(const PgStatements&) = delete;

    // Runs sql with values bound to its '?' placeholders in order; gives the number of rows
    // changed, or nothing on an error (see ErrorText()).
    std::optional<int> Exec(const QString& sql, const QVariantList& values);
    // Runs a query the same way and gives all its rows, valued as the Qt driver values them.
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values);
    const QString& ErrorText() const { return errorText_; }
    // Lets go of the statements without asking the server to deallocate them, for a connection
    // that is about to close or was given up.
    void Forget() { statements_.clear(); }

private:
    // The statement's result when it succeeded, to be cleared by the caller; nullptr otherwise.
    pg_result* Run(const QString& sql, const QVariantList& values);
    const QByteArray* Prepared(const QString& sql, int parameters);
    void Clear();
    QString ErrorOf(const pg_result* result) const;

    pg_conn* db_;
    const DbCut& cut_;
    // The server-side name of each statement prepared.
    QHash<QString, QByteArray> statements_;
    int made_ = 0;
    QString errorText_;
};
