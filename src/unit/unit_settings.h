#pragma once

#include <unit/settings_image_layout.h>

#include <QString>

#include <optional>
#include <vector>

// One sensor input as the unit's settings describe it.
struct SensorSettingsRow
{
    int type = 0;
    QString name;
    bool inUse = false;
    std::optional<float> maximum; // none when the limit is not in use, or the sensor is a contact
    std::optional<float> minimum;
};

// What the database keeps of a unit's settings image.
struct UnitSettings
{
    int systemNumber = 1;
    QString systemName;
    QString securityCode;
    int powerInputs = 4;                    // voltage inputs, the supply included
    int mainsMode = 0;                      // voltage inputs monitored besides the supply
    std::vector<SensorSettingsRow> sensors; // sensor n in element n - 1
};

// The settings of a unit of that model kind, or nothing with problem set to the reason (Greek, for
// the operator) when a value that the server uses lies outside what the unit can hold. A sensor out
// of use keeps its type code as the unit holds it.
std::optional<UnitSettings> DecodeUnitSettings(const SettingsImage& image, int modelKind, QString* problem);
