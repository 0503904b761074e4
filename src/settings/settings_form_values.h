#pragma once

#include <unit/settings_image_layout.h>

#include <QString>

#include <array>
#include <vector>

// What the settings dialog shows, control by control: texts as the boxes hold them and list
// positions as the lists select them (-1: nothing selected). The filling produces it from the
// image, the dialog shows and edits it, the writer checks it and encodes it back.

constexpr int kNoSelection = -1;
// The dialog has rows for the model with the most inputs.
constexpr int kSensorRows = kTwentySensorInputs.sensors;
constexpr int kVoltageRows = kTwentySensorInputs.VoltageNames();
constexpr int kSchedulePeriods = 14; // two a day, Sunday first
constexpr int kContactNone = 0;
constexpr int kContactOpen = 1;
constexpr int kContactClosed = 2;

// A name label: the decoded text shown and its hex byte codes ending in "00".
struct NameValue
{
    QString caption;
    QString tag;
};

struct SensorRowValues
{
    NameValue name;
    int typeIndex = kNoSelection;
    int contactIndex = kNoSelection;
    QString maximum, minimum;
    QString rate = QStringLiteral("15");
    QString deviation = QStringLiteral("0");
    QString hysteresis = QStringLiteral("0.5");
    QString delay = QStringLiteral("60");
    QString reading4 = QStringLiteral("0");
    QString reading20 = QStringLiteral("100");
    bool logWithin = true;
    bool logOutside = true;
    bool messages = true;
    bool active = false;
};

// Start hour, start minute, end hour, end minute, as list positions (0 the empty item).
using SchedulePeriod = std::array<int, 4>;

struct SettingsFormValues
{
    int modelKind = 0;
    // Twenty-sensor units: a bypass model keeps hours in the bypass box, any other model the
    // SG-2 choice. Eight-sensor units always keep hours.
    bool bypassEnabled = true;
    QString bypassHours;
    bool sg2FiveVolt = true;

    std::vector<SensorRowValues> rows; // the layout's rows only
    std::vector<NameValue> voltageNames;
    int mainsModeIndex = 0;
    QString mainsDelay;
    bool mainsLog = true;
    bool mainsMessages = true;

    std::array<QString, 4> phones;
    int ringIndex = 0;
    std::array<SchedulePeriod, kSchedulePeriods> schedule{};

    QString systemNumber = QStringLiteral("1");
    NameValue systemName;
    std::array<QString, 2> entryCode;    // code, confirmation
    std::array<QString, 2> securityCode; // code, confirmation
};
