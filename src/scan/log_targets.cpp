#include "log_targets.h"

#include "event_records.h"
#include "logged_values.h"

namespace {
constexpr int kSensorPageSnAt = 2;
constexpr int kEventPageSnAt = 4;
constexpr qint16 kLastSensorSource = 20;
constexpr qint16 kConditionSource = 21;
constexpr qint16 kFirstListSource = 22;
constexpr qint16 kLastListSource = 25;
} // namespace

LogTarget SensorLogTarget(const QString& serial, int sensor, int sensorType, const LogCounters& counters)
{
    LogTarget t;
    t.logNumber = quint8(sensor - 1);
    t.ring = kSensorLogRing;
    t.pageSnAt = kSensorPageSnAt;
    t.decode = [serial, sensor, sensorType](std::span<const quint8> half, bool firstHalf, int start, int end,
                                            std::vector<QVariantList>& rows) {
        std::vector<LoggedValue> values;
        const bool bad = DecodeLoggedValues(half, firstHalf, start, end, values);
        for (const LoggedValue& v : values)
            rows.push_back({serial, sensor, v.When, v.Value, sensorType});
        return bad;
    };
    t.historyTable = QStringLiteral("Records");
    t.rowColumns = QStringLiteral("Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime, Rec_Value, "
                                  "Rec_Sensortype, Rec_SensRecSN");
    t.rowTypes = {QStringLiteral("VARCHAR"), QStringLiteral("SMALLINT"), QStringLiteral("TIMESTAMP"),
                  QStringLiteral("REAL"),    QStringLiteral("SMALLINT"), QStringLiteral("INTEGER")};
    t.countersUpdate = QStringLiteral(
        "UPDATE Sensors_Info SET SeI_RecordsTable_Lastpagesn=?, SeI_RecordsTable_Pagebyteswrit=?, "
        "SeI_RecordsTable_LastrecSN=? WHERE SeI_SyI_Serialnumber=? AND SeI_Sensornumber=? AND "
        "SeI_RecordsTable_Lastpagesn=? AND SeI_RecordsTable_Pagebyteswrit=? AND "
        "SeI_RecordsTable_LastrecSN=?");
    t.ownerKey = {serial, sensor};
    t.counters = counters;
    return t;
}

LogTarget EventLogTarget(const QString& serial, const LogCounters& counters,
                         const std::vector<quint8>& EventSensorTypes)
{
    LogTarget t;
    t.logNumber = kEventLogNumber;
    t.ring = kEventLogRing;
    t.pageSnAt = kEventPageSnAt;
    t.decode = [serial, &EventSensorTypes](std::span<const quint8> half, bool firstHalf, int start, int end,
                                           std::vector<QVariantList>& rows) {
        std::vector<EventRecord> events;
        const bool bad = DecodeEventRecords(half, firstHalf, start, end, events);
        for (const EventRecord& e : events) {
            const bool sensor = e.Source >= 1 && e.Source <= kLastSensorSource;
            // A channel beyond the unit's sensors has no type: 0, as for a sensor without a row.
            const quint8 type =
                sensor && std::size_t(e.Source) < EventSensorTypes.size() ? EventSensorTypes[e.Source] : 0;
            rows.push_back({serial, e.Source, e.When, sensor ? QVariant(e.Value) : QVariant(),
                            sensor || e.Source == kConditionSource ? QVariant(int(e.Condition)) : QVariant(),
                            sensor ? QVariant(int(type)) : QVariant(),
                            e.Source >= kFirstListSource && e.Source <= kLastListSource
                                ? QVariant(e.Info1.isNull() ? QStringLiteral("") : e.Info1)
                                : QVariant(),
                            0});
        }
        return bad;
    };
    t.historyTable = QStringLiteral("Events_1");
    t.rowColumns = QStringLiteral("Event_SyI_Serialnumber, Event_EventSource, Event_Datetime, Event_Value, "
                                  "Event_Condition, Event_SeI_Sensortype, Event_Info1, Event_Ack, "
                                  "Event_SystemEventSN");
    t.rowTypes = {QStringLiteral("VARCHAR"), QStringLiteral("SMALLINT"), QStringLiteral("TIMESTAMP"),
                  QStringLiteral("REAL"),    QStringLiteral("SMALLINT"), QStringLiteral("SMALLINT"),
                  QStringLiteral("VARCHAR"), QStringLiteral("SMALLINT"), QStringLiteral("INTEGER")};
    t.countersUpdate = QStringLiteral(
        "UPDATE Systems_Info SET SyI_EventsTable_Lastpagesn=?, SyI_EventsTable_Pagebyteswritt=?, "
        "SyI_EventsTable_LastrecSN=? WHERE SyI_Serialnumber=? AND SyI_EventsTable_Lastpagesn=? AND "
        "SyI_EventsTable_Pagebyteswritt=? AND SyI_EventsTable_LastrecSN=?");
    t.ownerKey = {serial};
    t.counters = counters;
    return t;
}
