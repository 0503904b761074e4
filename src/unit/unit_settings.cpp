#include "unit_settings.h"

namespace {
bool TypeFitsRow(int type, bool digital)
{
    return digital ? type >= TypeProbe && type <= TypeContactNormallyOpen
                   : type >= TypeTemperature && type <= TypePressure;
}

bool IsContact(int type)
{
    return type == TypeContact || type == TypeContactNormallyOpen;
}
} // namespace

std::optional<UnitSettings> DecodeUnitSettings(const SettingsImage& image, int modelKind, QString* problem)
{
    const SettingsLayout& layout = LayoutFor(modelKind);
    UnitSettings s;
    s.systemNumber = ReadSystemNumber(image, layout);
    s.systemName = ReadSystemName(image, layout);
    s.securityCode = ReadSecurityCode(image, layout);
    s.powerInputs = layout.inputs.voltageInputs;
    s.mainsMode = ReadMainsMode(image, layout);
    if (s.systemNumber < 1) {
        *problem = QStringLiteral("Μη έγκυρος αριθμός συστήματος (%1).").arg(s.systemNumber);
        return std::nullopt;
    }
    if (s.mainsMode >= s.powerInputs) {
        *problem = QStringLiteral("Μη έγκυρη ρύθμιση παρακολούθησης δικτύου ρεύματος (%1).").arg(s.mainsMode);
        return std::nullopt;
    }
    for (int row = 0; row < layout.inputs.sensors; ++row) {
        const SensorSlot slot = ReadSensorSlot(image, layout, row);
        // The server reads nothing of a sensor out of use, so its type stays as the unit holds it.
        if (slot.inUse && !TypeFitsRow(slot.typeCode, layout.IsDigital(row))) {
            *problem =
                QStringLiteral("Μη έγκυρος τύπος (%1) στο αισθητήριο %2.").arg(slot.typeCode).arg(row + 1);
            return std::nullopt;
        }
        SensorSettingsRow sensor;
        sensor.type = slot.typeCode;
        sensor.name = slot.name;
        sensor.inUse = slot.inUse;
        // A contact keeps its state in the limit flags; its limit fields mean nothing.
        if (!IsContact(slot.typeCode)) {
            if (slot.maximumInUse)
                sensor.maximum = slot.maximum;
            if (slot.minimumInUse)
                sensor.minimum = slot.minimum;
        }
        s.sensors.push_back(sensor);
    }
    return s;
}
