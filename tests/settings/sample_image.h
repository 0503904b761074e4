#pragma once

#include <unit/settings_image_layout.h>

#include <QString>

// Offsets as the unit's memory map gives them, kept apart from the program's own layout
// tables so that a swapped offset or wrong row arithmetic there shows.
struct MemoryMap
{
    int kind;
    QString model;
    int rows, digital, voltages;
    int settings, names, mirrorNames, namesSize, settingsSize;
    int bypass;
    int mainsFlags, mainsDelay, mainsMode, schedule, ring, number, security, entry;
    int analog, types, sensors;
    int phones, sensorNames, voltageNames, systemName;
};

const MemoryMap& TwentyMap();
const MemoryMap& EightMap();

// A sealed image with a distinct legal value in every field the dialog shows.
SettingsImage SampleImage(const MemoryMap& map);

// The sample's values, as the test expects them back.
int SampleType(const MemoryMap& map, int row);
quint8 SampleFlags(const MemoryMap& map, int row);
QString SampleNameTag(int seed);
