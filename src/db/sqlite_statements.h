#pragma once

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class DbCut;
struct sqlite3;
struct sqlite3_stmt;

// The statements of an SQLite connection, run without the Qt driver: each SQL text is prepared
// once and kept, and every value is bound with its own type. Through the driver a value costs a
// text conversion or two and a name lookup, which for a log page's hundreds of values cost more
// than SQLite's own work, and a statement without values is prepared anew each time.
class SqliteStatements
{
public:
    // cut: a statement prepared after its caller gave up is not run.
    SqliteStatements(sqlite3* connection, const DbCut& cut) : db_(connection), cut_(cut) {}
    ~SqliteStatements();
    SqliteStatements(const SqliteStatements&) = delete;
    SqliteStatements& operator=(const SqliteStatements&) = delete;

    // Runs sql with values bound to its '?' placeholders in order; gives the number of rows
    // changed, or nothing on an error (see ErrorCode() and ErrorText()).
    std::optional<int> Exec(const QString& sql, const QVariantList& values);
    // Runs a query the same way and gives all its rows, valued as the Qt driver values them.
    std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values);
    int ErrorCode() const { return errorCode_; }
    const QString& ErrorText() const { return errorText_; }

private:
    std::optional<int> Run(const QString& sql, const QVariantList& values,
                           const std::function<void(sqlite3_stmt*)>& row);
    sqlite3_stmt* Prepared(const QString& sql);
    bool Bind(sqlite3_stmt* statement, int index, const QVariant& value);
    void Clear();
    void KeepError();

    sqlite3* db_;
    const DbCut& cut_;
    QHash<QString, sqlite3_stmt*> statements_;
    int errorCode_ = 0;
    QString errorText_;
};
