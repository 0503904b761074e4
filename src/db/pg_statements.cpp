#include "pg_statements.h"

#include "bindable.h"

#include <QByteArray>
#include <QSqlField>

#include <libpq-fe.h>

#include <charconv>
#include <vector>

namespace {
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
// The values of one statement, written one after the other into one buffer: a log page's
// hundreds of values cost no allocation each.
class Parameters
{
public:
    explicit Parameters(const QVariantList& values)
    {
        spans_.reserve(values.size());
        formats_.reserve(values.size());
        buffer_.reserve(values.size() * 12);
        for (const QVariant& v : values)
            Add(Bindable(v));
        texts_.reserve(spans_.size());
        lengths_.reserve(spans_.size());
        for (const auto& [at, length] : spans_) {
            texts_.push_back(at < 0 ? nullptr : buffer_.constData() + at);
            lengths_.push_back(length);
        }
    }
    int Count() const { return int(texts_.size()); }
    const char* const* Texts() const { return texts_.data(); }
    const int* Lengths() const { return lengths_.data(); }
    const int* Formats() const { return formats_.data(); }

private:
    void Add(const QVariant& value)
    {
        if (IsNullValue(value)) {
            spans_.push_back({-1, 0});
            formats_.push_back(0);
            return;
        }
        const qsizetype at = buffer_.size();
        int format = 0;
        char number[32];
        switch (value.typeId()) {
        case QMetaType::Bool:
            buffer_.append(value.toBool() ? '1' : '0');
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            buffer_.append(number,
                           std::to_chars(number, number + sizeof number, value.toLongLong()).ptr - number);
            break;
        case QMetaType::Double:
            buffer_.append(number,
                           std::to_chars(number, number + sizeof number, value.toDouble()).ptr - number);
            break;
        case QMetaType::QByteArray:
            buffer_.append(value.toByteArray());
            format = 1;
            break;
        default:
            buffer_.append(value.toString().toUtf8());
            break;
        }
        spans_.push_back({at, int(buffer_.size() - at)});
        formats_.push_back(format);
        // Texts end in a NUL, as libpq reads them.
        buffer_.append('\0');
    }

    QByteArray buffer_;
    std::vector<std::pair<qsizetype, int>> spans_;
    std::vector<const char*> texts_;
    std::vector<int> lengths_;
    std::vector<int> formats_;
};

// Type numbers of the server's built-in types.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

// A column's value as the Qt driver gives it: numbers as numbers, a real as the double its
// shortest decimal text gives, a time as its text (see wall_clock.h), a NULL as a null text.
QVariant ColumnValue(const PGresult* result, int row, int column)
{
    if (PQgetisnull(result, row, column))
        return QVariant(QMetaType::fromType<QString>());
    const char* text = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (PQftype(result, column)) {
    case kBool:
        return QVariant(text[0] == 't');
    case kInt2:
    case kInt4:
        return QVariant(QByteArray::fromRawData(text, length).toInt());
    case kInt8:
    case kOid:
        return QVariant(QByteArray::fromRawData(text, length).toLongLong());
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QVariant(QByteArray::fromRawData(text, length).toDouble());
    case kBytea: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        const QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return value;
    }
    default:
        return QString::fromUtf8(text, length);
    }
}

// The server declares a kept plan stale when a column that it returns has changed its type since
// it was prepared. The routine's name is the same in whatever language the server answers.
bool StalePlan(const PGresult* result)
{
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    const char* message = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    const char* routine = PQresultErrorField(result, PG_DIAG_SOURCE_FUNCTION);
    return qstrcmp(state, "0A000") == 0 && (qstrcmp(routine, "RevalidateCachedQuery") == 0 ||
                                            qstrcmp(message, "cached plan must not change result type") == 0);
}
} // namespace

// A result is missing when the statement never reached the server: the connection says why.
QString PgStatements::ErrorOf(const PGresult* result) const
{
    return QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(db_));
}

PGresult* PgStatements::Succeeded(PGresult* result)
{
    const ExecStatusType status = PQresultStatus(result);
    stale_ = false;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    stale_ = StalePlan(result);
    Fail(0, ErrorOf(result), PQresultErrorField(result, PG_DIAG_SQLSTATE));
    PQclear(result);
    return nullptr;
}

bool PgStatements::Done(PGresult* result)
{
    result = Succeeded(result);
    PQclear(result);
    return result != nullptr;
}

void PgStatements::Forget()
{
    statements_.clear();
    deallocate_ = true;
}

const QByteArray* PgStatements::Prepared(const QString& sql, int parameters)
{
    const auto kept = statements_.constFind(sql);
    if (kept != statements_.cend())
        return &kept.value();
    if (statements_.size() >= kMaxStatements)
        Forget();
    int count = 0;
    const QByteArray text = NumberedPlaceholders(sql, count);
    if (!Counted(parameters, count, 0))
        return nullptr;
    // A transaction that failed refuses the deallocation: nothing is prepared until it is done, or
    // it would go with the statements forgotten.
    if (deallocate_ && !Done(PQexec(db_, "DEALLOCATE ALL")))
        return nullptr;
    deallocate_ = false;
    const QByteArray name = "telvaron_" + QByteArray::number(++made_);
    if (!Done(PQprepare(db_, name.constData(), text.constData(), parameters, nullptr)))
        return nullptr;
    return &statements_.insert(sql, name).value();
}

PGresult* PgStatements::Run(const QString& sql, const QVariantList& values)
{
    Fail(0, {});
    // A statement without values needs no plan kept: it goes as it is, in one round trip.
    if (values.isEmpty())
        return GivenUp(0) ? nullptr : Succeeded(PQexec(db_, sql.toUtf8().constData()));
    const Parameters parameters(values);
    const QByteArray* name = Prepared(sql, parameters.Count());
    if (!name || GivenUp(0))
        return nullptr;
    PGresult* result =
        Succeeded(PQexecPrepared(db_, name->constData(), parameters.Count(), parameters.Texts(),
                                 parameters.Lengths(), parameters.Formats(), 0));
    // The change of a column makes every plan that reads it stale, each at its next run: all are
    // made afresh at once, so that no later statement fails for the same change.
    if (!result && stale_)
        Forget();
    return result;
}

std::optional<int> PgStatements::Exec(const QString& sql, const QVariantList& values)
{
    PGresult* result = Run(sql, values);
    if (!result)
        return std::nullopt;
    const int changed = QByteArray(PQcmdTuples(result)).toInt();
    PQclear(result);
    return changed;
}

std::optional<QList<QSqlRecord>> PgStatements::Select(const QString& sql, const QVariantList& values)
{
    PGresult* result = Run(sql, values);
    if (!result)
        return std::nullopt;
    const int columns = PQnfields(result);
    QSqlRecord names;
    for (int c = 0; c < columns; ++c)
        names.append(QSqlField(QString::fromUtf8(PQfname(result, c))));
    QList<QSqlRecord> rows;
    rows.reserve(PQntuples(result));
    for (int r = 0; r < PQntuples(result); ++r) {
        QSqlRecord row = names;
        for (int c = 0; c < columns; ++c)
            row.setValue(c, ColumnValue(result, r, c));
        rows.append(std::move(row));
    }
    PQclear(result);
    return rows;
}
