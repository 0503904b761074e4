#include "event_list_mirror.h"

#include <db/db_session.h>
#include <link/int_codec.h>
#include <link/stamp_codec.h>

#include <QDateTime>

#include <vector>

namespace {
constexpr int kRecipients = 15;
constexpr int kPresentBit = 0, kTypeBit = 2, kCounterBit = 4;
constexpr int kSensorSlotSize = 6;
constexpr int kPowerSlotSize = 5;
constexpr int kSlotValueAt = 4; // after the time or counter

// The slot's counter, or Null when it carries a time.
QVariant SlotCounter(std::span<const quint8> list, int e, int at)
{
    return BitIsSet(list[0], kCounterBit + e - 1) ? QVariant(ReadU32Clamp(list, at)) : QVariant();
}

// The slot's time, or Null when it carries a counter.
QVariant SlotTime(std::span<const quint8> list, int e, int at)
{
    return BitIsSet(list[0], kCounterBit + e - 1) ? QVariant() : QVariant(ReadStamp4(list, at));
}
} // namespace

int PresentEventSlots(quint8 header)
{
    if (!BitIsSet(header, kPresentBit))
        return 0;
    return BitIsSet(header, kPresentBit + 1) ? 2 : 1;
}

namespace {
bool WriteSensorEventRows(DbSession& db, const QString& serial, int sensor, std::span<const quint8> entry,
                          int storedSlots)
{
    const int present = PresentEventSlots(entry[0]);
    for (int e = 1; e <= present; ++e) {
        const int at = 1 + kSensorSlotSize * (e - 1);
        if (!db.Exec(
                QStringLiteral("INSERT INTO Sensors_Events (SeE_SyI_Serialnumber, SeE_Sensornumber, "
                               "SeE_Eventtype, SeE_Recordedvalue, SeE_BeforeCounter, SeE_Recordeddatetime, "
                               "SeE_Recipients, SeE_Eventnumber) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT "
                               "(SeE_SyI_Serialnumber, SeE_Sensornumber, SeE_Eventnumber) DO UPDATE SET "
                               "SeE_Eventtype=excluded.SeE_Eventtype, "
                               "SeE_Recordedvalue=excluded.SeE_Recordedvalue, "
                               "SeE_BeforeCounter=excluded.SeE_BeforeCounter, "
                               "SeE_Recordeddatetime=excluded.SeE_Recordeddatetime, "
                               "SeE_Recipients=excluded.SeE_Recipients"),
                {serial, sensor, int(BitIsSet(entry[0], kTypeBit + e - 1)),
                 ReadTenths14(entry, at + kSlotValueAt), SlotCounter(entry, e, at), SlotTime(entry, e, at),
                 kRecipients, e}))
            return false;
    }
    return storedSlots <= present ||
           db.Exec(QStringLiteral("DELETE FROM Sensors_Events WHERE SeE_SyI_Serialnumber=? AND "
                                  "SeE_Sensornumber=? AND SeE_Eventnumber>?"),
                   {serial, sensor, present})
               .has_value();
}

bool WritePowerEventRows(DbSession& db, const QString& serial, std::span<const quint8> PowerEventsReply)
{
    const int present = PresentEventSlots(PowerEventsReply[0]);
    for (int e = 1; e <= present; ++e) {
        const int at = 1 + kPowerSlotSize * (e - 1);
        if (!db.Exec(QStringLiteral("INSERT INTO Powermonitoring_Events (PmE_SyI_Serialnumber, "
                                    "PmE_Eventpowercondition, PmE_BeforeCounter, PmE_Recordeddatetime, "
                                    "PmE_Recipients, PmE_Eventnumber) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT "
                                    "(PmE_SyI_Serialnumber, PmE_Eventnumber) DO UPDATE SET "
                                    "PmE_Eventpowercondition=excluded.PmE_Eventpowercondition, "
                                    "PmE_BeforeCounter=excluded.PmE_BeforeCounter, "
                                    "PmE_Recordeddatetime=excluded.PmE_Recordeddatetime, "
                                    "PmE_Recipients=excluded.PmE_Recipients"),
                     {serial, int(PowerEventsReply[at + kSlotValueAt]), SlotCounter(PowerEventsReply, e, at),
                      SlotTime(PowerEventsReply, e, at), kRecipients, e}))
            return false;
    }
    return bool(
        db.Exec(QStringLiteral(
                    "DELETE FROM Powermonitoring_Events WHERE PmE_SyI_Serialnumber=? AND PmE_Eventnumber>?"),
                {serial, present}));
}
} // namespace

bool MirrorSensorEvents(DbSession& db, const QString& serial, int sensor, std::span<const quint8> entry,
                        int storedSlots)
{
    return db.Transaction(
        [serial, sensor, list = std::vector(entry.begin(), entry.end()), storedSlots](DbSession& session) {
            return WriteSensorEventRows(session, serial, sensor, list, storedSlots);
        });
}

bool MirrorPowerEvents(DbSession& db, const QString& serial, std::span<const quint8> PowerEventsReply)
{
    return db.Transaction([serial, list = std::vector(PowerEventsReply.begin(), PowerEventsReply.end())](
                              DbSession& session) { return WritePowerEventRows(session, serial, list); });
}
