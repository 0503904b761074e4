#include "pg_statements.h"

#include "bindable.h"
#include "db_cut.h"

#include <QByteArray>

#include <libpq-fe.h>

#include <charconv>
#include <vector>

namespace {
constexpr qsizetype kMaxStatements = 64;

// The SQL with its '?' placeholders numbered as the server wants them ($1, $2, ...); a '?'
// inside a quoted text or name stays.
QByteArray NumberedPlaceholders(const QString& sql, int& count)
{
    QString numbered;
    numbered.reserve(sql.size() * 2);
    QChar quote;
    count = 0;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            numbered += u'$' + QString::number(++count);
            continue;
        }
        numbered += c;
    }
    return numbered.toUtf8();
}

// A value as a text parameter; its type is the one the server infers for the placeholder.
struct Parameter
{
    bool null = false;
    bool binary = false;
    QByteArray bytes;
};

Parameter ParameterOf(const QVariant& given)
{
    const QVariant value = Bindable(given);
    if (IsNullValue(value))
        return {true, false, {}};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return {false, false, QByteArray::number(value.toBool() ? 1 : 0)};
    case QMetaType::Double: {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, value.toDouble());
        return {false, false, QByteArray(text, written.ptr - text)};
    }
    case QMetaType::QByteArray:
        return {false, true, value.toByteArray()};
    default:
        return {false, false, value.toString().toUtf8()};
    }
}
} // namespace

// A result is missing when the statement never reached the server: the connection says why.
QString PgStatements::ErrorOf(const PGresult* result) const
{
    return QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(db_));
}

PgStatements::~PgStatements()
{
    Clear();
}

void PgStatements::Clear()
{
    if (PQstatus(db_) == CONNECTION_OK) {
        for (const QByteArray& name : std::as_const(statements_))
            PQclear(PQexec(db_, ("DEALLOCATE " + name).constData()));
    }
    statements_.clear();
}

const QByteArray* PgStatements::Prepared(const QString& sql, int parameters)
{
    const auto kept = statements_.constFind(sql);
    if (kept != statements_.cend())
        return &kept.value();
    if (statements_.size() >= kMaxStatements)
        Clear();
    int count = 0;
    const QByteArray text = NumberedPlaceholders(sql, count);
    if (count != parameters) {
        errorText_ = QStringLiteral("%1 values for %2 parameters").arg(parameters).arg(count);
        return nullptr;
    }
    const QByteArray name = "telvaron_" + QByteArray::number(++made_);
    PGresult* result = PQprepare(db_, name.constData(), text.constData(), parameters, nullptr);
    const bool prepared = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!prepared)
        errorText_ = ErrorOf(result);
    PQclear(result);
    if (!prepared)
        return nullptr;
    return &statements_.insert(sql, name).value();
}

std::optional<int> PgStatements::Exec(const QString& sql, const QVariantList& values)
{
    errorText_.clear();
    const QByteArray* name = Prepared(sql, int(values.size()));
    if (!name)
        return std::nullopt;
    if (cut_.Done()) {
        errorText_ = QStringLiteral("canceling statement: the call was given up");
        return std::nullopt;
    }
    std::vector<Parameter> parameters;
    parameters.reserve(values.size());
    std::vector<const char*> texts;
    std::vector<int> lengths, formats;
    for (const QVariant& v : values)
        parameters.push_back(ParameterOf(v));
    for (const Parameter& p : parameters) {
        texts.push_back(p.null ? nullptr : p.bytes.constData());
        lengths.push_back(int(p.bytes.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    PGresult* result = PQexecPrepared(db_, name->constData(), int(texts.size()), texts.data(), lengths.data(),
                                      formats.data(), 0);
    const ExecStatusType status = PQresultStatus(result);
    std::optional<int> changed;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        changed = QByteArray(PQcmdTuples(result)).toInt();
    else
        errorText_ = ErrorOf(result);
    PQclear(result);
    return changed;
}
