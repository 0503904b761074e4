#include "sqlite_statements.h"

#include "bindable.h"

#include <QByteArray>
#include <QSqlField>

#include <sqlite3.h>

namespace {
constexpr qsizetype kMaxStatements = 64;

// A column's value as the Qt driver gives it: a whole number as qint64, a real as double, a
// NULL as a null text.
QVariant ColumnValue(sqlite3_stmt* statement, int i)
{
    switch (sqlite3_column_type(statement, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(statement, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, i));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, i)),
                          sqlite3_column_bytes(statement, i));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default:
        return QString(reinterpret_cast<const QChar*>(sqlite3_column_text16(statement, i)),
                       sqlite3_column_bytes16(statement, i) / qsizetype(sizeof(QChar)));
    }
}
} // namespace

SqliteStatements::~SqliteStatements()
{
    Clear();
}

void SqliteStatements::Clear()
{
    for (sqlite3_stmt* statement : std::as_const(statements_))
        sqlite3_finalize(statement);
    statements_.clear();
}

sqlite3_stmt* SqliteStatements::Prepared(const QString& sql)
{
    if (sqlite3_stmt* kept = statements_.value(sql))
        return kept;
    if (statements_.size() >= kMaxStatements)
        Clear();
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(db_, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    statements_.insert(sql, statement);
    return statement;
}

bool SqliteStatements::Bind(sqlite3_stmt* statement, int index, const QVariant& given)
{
    const QVariant value = Bindable(given);
    if (IsNullValue(value))
        return sqlite3_bind_null(statement, index) == SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
        return sqlite3_bind_int(statement, index, value.toInt()) == SQLITE_OK;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(statement, index, value.toLongLong()) == SQLITE_OK;
    case QMetaType::Double:
        return sqlite3_bind_double(statement, index, value.toDouble()) == SQLITE_OK;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    default: {
        const QString text = value.toString();
        return sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * sizeof(char16_t)),
                                   SQLITE_TRANSIENT) == SQLITE_OK;
    }
    }
}

std::optional<int> SqliteStatements::Exec(const QString& sql, const QVariantList& values)
{
    return Run(sql, values, nullptr);
}

std::optional<QList<QSqlRecord>> SqliteStatements::Select(const QString& sql, const QVariantList& values)
{
    QList<QSqlRecord> rows;
    QSqlRecord columns;
    const auto read = [&](sqlite3_stmt* statement) {
        const int count = sqlite3_column_count(statement);
        if (columns.isEmpty()) {
            for (int i = 0; i < count; ++i)
                columns.append(QSqlField(QString::fromUtf8(sqlite3_column_name(statement, i))));
        }
        QSqlRecord row = columns;
        for (int i = 0; i < count; ++i)
            row.setValue(i, ColumnValue(statement, i));
        rows.append(std::move(row));
    };
    if (!Run(sql, values, read))
        return std::nullopt;
    return rows;
}

std::optional<int> SqliteStatements::Run(const QString& sql, const QVariantList& values,
                                         const std::function<void(sqlite3_stmt*)>& row)
{
    Fail(SQLITE_OK, {});
    sqlite3_stmt* statement = Prepared(sql);
    if (!statement) {
        KeepError();
        return std::nullopt;
    }
    if (!Counted(values.size(), sqlite3_bind_parameter_count(statement), SQLITE_RANGE) ||
        GivenUp(SQLITE_INTERRUPT))
        return std::nullopt;
    bool done = true;
    for (qsizetype i = 0; done && i < values.size(); ++i)
        done = Bind(statement, int(i + 1), values.at(i));
    int result = SQLITE_ROW;
    while (done && (result = sqlite3_step(statement)) == SQLITE_ROW) {
        if (row)
            row(statement);
    }
    done = done && result == SQLITE_DONE;
    if (!done)
        KeepError();
    const int changed = sqlite3_changes(db_);
    sqlite3_reset(statement);
    // The bindings would keep copies of the texts until the next run.
    sqlite3_clear_bindings(statement);
    if (!done)
        return std::nullopt;
    return changed;
}

void SqliteStatements::KeepError()
{
    Fail(sqlite3_errcode(db_), QString::fromUtf8(sqlite3_errmsg(db_)));
}
