#include "log_compare.h"

#include <db/database.h>
#include <db/wall_clock.h>

namespace {
QString Time(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString Field(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("-") : v.toString();
}

QString Tenths(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("-") : QString::number(double(v.toFloat()), 'f', 1);
}

QStringList Lines(Database& db, const QString& sql, const QVariantList& key,
                  const std::function<QString(const QSqlRecord&)>& line)
{
    QStringList out;
    const auto rows = db.Select(sql, key);
    if (!rows)
        return {QStringLiteral("database error: ") + db.LastError().description};
    for (const QSqlRecord& r : *rows)
        out << line(r);
    return out;
}
} // namespace

bool AddUnitRows(Database& db, const QString& serial, int commPort, const QString& aux1, const QString& model)
{
    bool done = db.Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, "
                                       "SyI_Commport, SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, "
                                       "SyI_Locationnumber) VALUES (?, 1, 0, ?, ?, ?, '1.00', '1.0', 1)"),
                        {serial, commPort, aux1, model})
                    .has_value();
    const bool wide = model.contains(QStringLiteral("TELVARON-1"));
    for (int n = 1; n <= (wide ? 20 : 8); ++n)
        done =
            done && db.Exec(QStringLiteral("INSERT INTO Sensors_Info (SeI_SyI_Serialnumber, "
                                           "SeI_Sensornumber, SeI_Used, SeI_Sensortype) VALUES (?, ?, 1, 1)"),
                            {serial, n});
    for (int p = 1; p <= (wide ? 4 : 2); ++p)
        done = done && db.Exec(QStringLiteral("INSERT INTO Powermonitoring_Info (PmI_SyI_Serialnumber, "
                                              "PmI_Powernumber, PmI_Used) VALUES (?, ?, 1)"),
                               {serial, p});
    return done;
}

bool RefuseRows(Database& db, const QString& table, const std::optional<QString>& event, const QString& when)
{
    const bool sqlite = db.DriverInUse() == Database::Driver::SQLite;
    if (!event)
        return db
            .Exec(QStringLiteral("DROP TRIGGER refuse_%1").arg(table) +
                  (sqlite ? QString() : QStringLiteral(" ON ") + table))
            .has_value();
    if (sqlite)
        return db
            .Exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 WHEN %3 BEGIN SELECT "
                                 "RAISE(ABORT, 'refused'); END")
                      .arg(table, *event, when))
            .has_value();
    return db.Exec(QStringLiteral("CREATE FUNCTION refuse_%1() RETURNS trigger AS $$ BEGIN IF %2 THEN RAISE "
                                  "EXCEPTION 'refused'; END IF; RETURN COALESCE(NEW, OLD); END $$ LANGUAGE "
                                  "plpgsql")
                       .arg(table, when)) &&
           db.Exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 FOR EACH ROW EXECUTE FUNCTION "
                                  "refuse_%1()")
                       .arg(table, *event));
}

QStringList Rows(Database& db, const QString& sql, const QVariantList& values)
{
    return Lines(db, sql, values, [](const QSqlRecord& r) {
        QStringList fields;
        for (int i = 0; i < r.count(); ++i) {
            const QVariant v = r.value(i);
            const int type = v.typeId();
            fields << (v.isNull() ? QStringLiteral("-")
                       : r.fieldName(i).endsWith(QStringLiteral("datetime"), Qt::CaseInsensitive)
                           ? Time(WallClockFromValue(v))
                       : type == QMetaType::Double || type == QMetaType::Float
                           ? QString::number(double(v.toFloat()))
                           : v.toString());
        }
        return fields.join(QLatin1Char(' '));
    });
}

QStringList StoredSamples(Database& db, const QString& serial, int sensor)
{
    return Lines(
        db,
        QStringLiteral("SELECT Rec_SensRecSN, Rec_Datetime, Rec_Value, Rec_Sensortype FROM Records "
                       "WHERE Rec_SyI_Serialnumber=? AND Rec_SeI_Sensornumber=? ORDER BY Rec_SensRecSN"),
        {serial, sensor}, [](const QSqlRecord& r) {
            return QStringLiteral("%1 %2 %3")
                .arg(r.value(0).toInt())
                .arg(Time(WallClockFromValue(r.value(1))), Tenths(r.value(2)));
        });
}

QStringList ExpectedSamples(const std::vector<unitsim::WrittenSample>& samples, int firstNumber)
{
    QStringList out;
    for (const unitsim::WrittenSample& s : samples)
        out << QStringLiteral("%1 %2 %3").arg(firstNumber++).arg(Time(s.when), Tenths(float(s.tenths) / 10));
    return out;
}

QStringList StoredEvents(Database& db, const QString& serial)
{
    return Lines(db,
                 QStringLiteral("SELECT Event_SystemEventSN, Event_EventSource, Event_Datetime, Event_Value, "
                                "Event_Condition, Event_SeI_Sensortype, Event_Info1, Event_Ack FROM Events_1 "
                                "WHERE Event_SyI_Serialnumber=? ORDER BY Event_SystemEventSN"),
                 {serial}, [](const QSqlRecord& r) {
                     return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                         .arg(r.value(0).toInt())
                         .arg(r.value(1).toInt())
                         .arg(Time(WallClockFromValue(r.value(2))), Tenths(r.value(3)), Field(r.value(4)),
                              Field(r.value(5)), Field(r.value(6)), Field(r.value(7)));
                 });
}

QStringList ExpectedEvents(const std::vector<unitsim::WrittenEvent>& events, int sensorType, int firstNumber)
{
    QStringList out;
    for (const unitsim::WrittenEvent& e : events) {
        const bool sensor = e.source >= 1 && e.source <= 20;
        const QString dash = QStringLiteral("-");
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 0")
                   .arg(firstNumber++)
                   .arg(e.source)
                   .arg(Time(e.when), sensor ? Tenths(float(e.tenths) / 10) : dash,
                        sensor || e.source == 21 ? QString::number(e.condition) : dash,
                        sensor ? QString::number(sensorType) : dash,
                        e.source >= 22 && e.source <= 25 ? e.numbers : dash);
    }
    return out;
}
