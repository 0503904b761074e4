#pragma once

#include "db_statements.h"

#include <QHash>

#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// The statements of an SQLite connection: each SQL text is prepared once and kept, and every value
// is bound with its own type. Through the Qt driver a value costs a text conversion or two and a
// name lookup, which for a log page's hundreds of values cost more than SQLite's own work.
class SqliteStatements : public DbStatements
{
public:
    SqliteStatements(sqlite3* connection, const DbCut& cut) : DbStatements(cut), db_(connection) {}
    ~SqliteStatements() override;

    std::optional<int> Exec(const QString& sql, const QVariantList& values) override;
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values) override;

private:
    std::optional<int> Run(const QString& sql, const QVariantList& values,
                           const std::function<void(sqlite3_stmt*)>& row);
    sqlite3_stmt* Prepared(const QString& sql);
    bool Bind(sqlite3_stmt* statement, int index, const QVariant& value);
    void Clear();
    void KeepError();

    sqlite3* db_;
    QHash<QString, sqlite3_stmt*> statements_;
};
