#pragma once

#include <QDateTime>

#include <span>
#include <vector>

// One sample of a sensor's record log.
struct LoggedValue
{
    QDateTime When;
    float Value = 0;
};

// Appends the samples of a sensor log half page (see VisitLogEntries for start and end) to
// values; empty samples (first byte 0xFF) give none. Returns whether a visited block failed its
// check byte.
bool DecodeLoggedValues(std::span<const quint8> half, bool firstHalf, int start, int end,
                        std::vector<LoggedValue>& values);

// The time of the sample at position pos of the half page: its block's stamp plus the interval
// for each sample before it, stepping into summer time at the last Sunday of March 03:00 and out
// of it at the last Sunday of October 04:00.
QDateTime SampleTimestamp(std::span<const quint8> half, bool firstHalf, int pos);
