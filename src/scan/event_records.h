#pragma once

#include <QDateTime>
#include <QString>

#include <span>
#include <vector>

// One event of a unit's event log. Source 1 to 20 (and up to 32 from a faulty unit) is a sensor
// channel with Value and Condition; 21 the unit's condition byte in Condition; 22 to 25 carry
// sensor numbers in Info1.
struct EventRecord
{
    qint16 Source = 0;
    QDateTime When;
    float Value = 0;
    quint8 Condition = 0;
    QString Info1;
};

// The record of one 9-byte entry whose first byte is not 0xFF.
EventRecord DecodeEventEntry(std::span<const quint8> entry);

// Appends the events of an event log half page (see VisitLogEntries for start and end) to
// records; empty entries give none. Returns whether a visited block failed its check byte.
bool DecodeEventRecords(std::span<const quint8> half, bool firstHalf, int start, int end,
                        std::vector<EventRecord>& records);
