#include "unit_options.h"

#include <QCommandLineParser>

#include <optional>

namespace unitsim {

namespace {
const QString kSerial = QStringLiteral("serial");
const QString kModel = QStringLiteral("model");
const QString kSoftver = QStringLiteral("softver");
const QString kHardver = QStringLiteral("hardver");
const QString kSystemNumber = QStringLiteral("system-number");
const QString kSensors = QStringLiteral("sensors");
const QString kCode = QStringLiteral("code");

// The number of an option within low..high, or nothing.
std::optional<int> NumberOption(const QCommandLineParser& parser, const QString& name, int low, int high)
{
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    return ok && n >= low && n <= high ? std::optional<int>(n) : std::nullopt;
}
} // namespace

void AddUnitOptions(QCommandLineParser& parser)
{
    const UnitIdentity d;
    parser.addOptions({
        {kSerial, QStringLiteral("The unit's serial number (up to 15 characters)."), QStringLiteral("text"),
         d.serialNumber},
        {kModel, QStringLiteral("The unit's model name."), QStringLiteral("text"), d.model},
        {kSoftver, QStringLiteral("Software version (up to 7 characters)."), QStringLiteral("text"),
         d.softwareVersion},
        {kHardver, QStringLiteral("Hardware version (up to 7 characters)."), QStringLiteral("text"),
         d.hardwareVersion},
        {kSystemNumber, QStringLiteral("System number, 1 to 255."), QStringLiteral("n"),
         QString::number(d.systemNumber)},
        {kSensors, QStringLiteral("Sensor inputs, 1 to 20."), QStringLiteral("n"),
         QString::number(d.sensorCount)},
        {kCode, QStringLiteral("Access code of the set commands (up to 8 characters)."),
         QStringLiteral("text"), UnitState().accessCode},
    });
}

bool ApplyUnitOptions(const QCommandLineParser& parser, UnitModel& model, QString* error)
{
    const auto systemNumber = NumberOption(parser, kSystemNumber, 1, 255);
    const auto sensors = NumberOption(parser, kSensors, 1, kUnitSensorSlots);
    if (!systemNumber || !sensors || parser.value(kSerial).size() > 15 || parser.value(kSoftver).size() > 7 ||
        parser.value(kHardver).size() > 7 || parser.value(kCode).size() > 8) {
        *error = QStringLiteral("--system-number takes 1 to 255, --sensors 1 to 20; --serial takes up to 15 "
                                "characters, --softver and --hardver 7, --code 8");
        return false;
    }
    model.Update([&](UnitState& s) {
        s.identity = {parser.value(kSerial),  parser.value(kModel), parser.value(kSoftver),
                      parser.value(kHardver), *systemNumber,        *sensors};
        s.accessCode = parser.value(kCode);
    });
    return true;
}

} // namespace unitsim
