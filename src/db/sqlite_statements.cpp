#include "sqlite_statements.h"

#include "bindable.h"
#include "db_cut.h"

#include <QByteArray>

#include <sqlite3.h>

namespace {
constexpr qsizetype kMaxStatements = 64;
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
    errorCode_ = SQLITE_OK;
    errorText_.clear();
    sqlite3_stmt* statement = Prepared(sql);
    if (!statement) {
        KeepError();
        return std::nullopt;
    }
    if (sqlite3_bind_parameter_count(statement) != values.size()) {
        errorCode_ = SQLITE_RANGE;
        errorText_ = QStringLiteral("%1 values for %2 parameters")
                         .arg(values.size())
                         .arg(sqlite3_bind_parameter_count(statement));
        return std::nullopt;
    }
    if (cut_.Done()) {
        errorCode_ = SQLITE_INTERRUPT;
        errorText_ = QStringLiteral("interrupted");
        return std::nullopt;
    }
    bool done = true;
    for (qsizetype i = 0; done && i < values.size(); ++i)
        done = Bind(statement, int(i + 1), values.at(i));
    int result = SQLITE_ROW;
    while (done && result == SQLITE_ROW)
        result = sqlite3_step(statement);
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
    errorCode_ = sqlite3_errcode(db_);
    errorText_ = QString::fromUtf8(sqlite3_errmsg(db_));
}
