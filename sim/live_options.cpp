#include "live_options.h"

#include <QCommandLineParser>

namespace unitsim {

namespace {
const QString kLive = QStringLiteral("live");
const QString kSeed = QStringLiteral("seed");
} // namespace

void AddLiveOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kLive, QStringLiteral("Behave like a unit in the field while serving: the clock runs, readings "
                               "drift and now and then cross a limit (alarm, current event, logged "
                               "event) and return, the supply or a mains input monitored by "
                               "--mains-mode fails now and then for a while, and every active sensor logs a "
                               "sample at its recording "
                               "rate (--log-interval), the first one at start.")},
        {kSeed, QStringLiteral("Seed of the --live unit's randomness; the same seed gives the same unit."),
         QStringLiteral("n"), QStringLiteral("1")},
    });
}

bool LiveRequested(const QCommandLineParser& parser)
{
    return parser.isSet(kLive);
}

bool ApplyLiveOptions(const QCommandLineParser& parser, UnitModel& model, const SettingsMemory& settings,
                      LogMemory& logs, CurrentEvents& events, std::unique_ptr<LiveUnit>* live, QString* error)
{
    bool seedOk = false;
    const uint seed = parser.value(kSeed).toUInt(&seedOk);
    if (!seedOk) {
        *error = QStringLiteral("--seed takes a number from 0 to 4294967295");
        return false;
    }
    if (LiveRequested(parser))
        *live = std::make_unique<LiveUnit>(model, settings, logs, events, quint32(seed));
    return true;
}

} // namespace unitsim
