#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <optional>

class DbCut;

// The statements of one connection, run on the database's own client interface rather than the
// Qt driver's, which would prepare a statement without values anew each time, bind every value
// through text, and on PostgreSQL paste the values into the text of an EXECUTE.
class DbStatements
{
public:
    // cut: a statement prepared after its caller gave up is not run.
    explicit DbStatements(const DbCut& cut) : cut_(cut) {}
    virtual ~DbStatements() = default;
    DbStatements(const DbStatements&) = delete;
    DbStatements& operator=(const DbStatements&) = delete;

    // Runs sql with values bound to its '?' placeholders in order; gives the number of rows
    // changed, or nothing on an error (see ErrorCode() and ErrorText()).
    virtual std::optional<int> Exec(const QString& sql, const QVariantList& values) = 0;
    // Runs a query the same way and gives all its rows, valued as the Qt drivers value them.
    virtual std::optional<QList<QSqlRecord>> Select(const QString& sql, const QVariantList& values) = 0;
    // The failure of the last statement: the database's own code (0 where it gives none), its text.
    long ErrorCode() const { return errorCode_; }
    // The last statement failed because a changed column made its plan stale; the plans are made
    // afresh at the next statement, which may be the same one again.
    virtual bool FailedOnStalePlan() const { return false; }
    const QString& ErrorText() const { return errorText_; }
    // The SQLSTATE that the server gave for the failure, where it gave one.
    const QByteArray& ErrorState() const { return errorState_; }

protected:
    void Fail(long code, const QString& text, const QByteArray& state = {});
    // False, with the error set, when the placeholders are not as many as the values.
    bool Counted(qsizetype values, int placeholders, long code);
    // True, with the error set, once the statement's caller has given up on it.
    bool GivenUp(long code);

private:
    const DbCut& cut_;
    long errorCode_ = 0;
    QString errorText_;
    QByteArray errorState_;
};
