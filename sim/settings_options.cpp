#include "settings_options.h"

#include "settings_memory.h"
#include "unit_model.h"

#include <QCommandLineParser>

namespace unitsim {

namespace {
const QString kSecurityCode = QStringLiteral("security-code");
const QString kSystemName = QStringLiteral("system-name");
const QString kMainsMode = QStringLiteral("mains-mode");
} // namespace

void AddSettingsOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kSecurityCode, QStringLiteral("Security code in the settings image (4 to 8 digits)."),
         QStringLiteral("digits"), ImageContents().securityCode},
        {kSystemName, QStringLiteral("System name in the settings image (up to 24 ASCII characters)."),
         QStringLiteral("text")},
        {kMainsMode,
         QStringLiteral("Voltage inputs monitored besides the supply (0 to 3, 0 to 1 on 8 sensors)."),
         QStringLiteral("n"), QStringLiteral("0")},
    });
}

bool ApplySettingsOptions(const QCommandLineParser& parser, const UnitModel& model, SettingsMemory& memory,
                          int recordingRate, QString* error)
{
    const UnitIdentity identity = model.State().identity;
    const bool twenty = identity.model.contains(QStringLiteral("TELVARON-1"));
    const QString code = parser.value(kSecurityCode);
    const QString name = parser.value(kSystemName);
    bool modeOk = false;
    const int mode = parser.value(kMainsMode).toInt(&modeOk);
    bool digits = code.size() >= 4 && code.size() <= 8;
    for (const QChar c : code)
        digits = digits && c.isDigit() && c.unicode() < 128;
    bool ascii = name.size() <= 24;
    for (const QChar c : name)
        ascii = ascii && c.unicode() >= 32 && c.unicode() < 128;
    if (!digits || !ascii || !modeOk || mode < 0 || mode > (twenty ? 3 : 1)) {
        *error =
            QStringLiteral("--security-code takes 4 to 8 digits, --system-name up to 24 ASCII characters, "
                           "--mains-mode 0 to 3 (0 to 1 for an 8-sensor model)");
        return false;
    }
    ImageContents contents = DefaultImageContents(twenty, identity.sensorCount, identity.systemNumber);
    contents.securityCode = code;
    contents.systemName = name.toLatin1();
    contents.mainsMode = mode;
    for (ImageSensor& s : contents.sensors)
        s.recordingRate = recordingRate;
    memory.SetImage(BuildSettingsImage(contents));
    return true;
}

} // namespace unitsim
