#include "live_options.h"

#include <QCommandLineParser>

namespace unitsim {

namespace {
const QString kLive = QStringLiteral("live");
const QString kSeed = QStringLiteral("seed");
const QString kClock = QStringLiteral("clock");
const QString kState = QStringLiteral("state");
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
        {kClock,
         QStringLiteral(
             "The --live unit's clock at start, as the unit shows it (default 2024-05-17T13:45:00, "
             "or with --state where the kept clock has run to)."),
         QStringLiteral("yyyy-MM-ddTHH:mm:ss")},
        {kState,
         QStringLiteral("Keep the --live unit's memory (logs, settings, clock) in <file>, as a unit keeps it "
                        "while switched off: loaded at start when it exists, in place of --log-samples, "
                        "--log-events and the settings options, and saved at every change and at exit. "
                        "The clock runs on meanwhile; samples that fell due are not logged."),
         QStringLiteral("file")},
    });
}

bool LiveRequested(const QCommandLineParser& parser)
{
    return parser.isSet(kLive);
}

bool ApplyLiveOptions(const QCommandLineParser& parser, UnitModel& model, SettingsMemory& settings,
                      LogMemory& logs, CurrentEvents& events, std::unique_ptr<LiveUnit>* live,
                      std::unique_ptr<UnitStateFile>* stateFile, QString* error)
{
    bool seedOk = false;
    const uint seed = parser.value(kSeed).toUInt(&seedOk);
    QDateTime clock = QDateTime::fromString(parser.value(kClock), Qt::ISODate);
    clock.setTimeSpec(Qt::UTC);
    if (!seedOk || (parser.isSet(kClock) && !clock.isValid()) ||
        (!LiveRequested(parser) && (parser.isSet(kClock) || parser.isSet(kState)))) {
        *error = QStringLiteral("--seed takes a number from 0 to 4294967295, --clock a time as "
                                "2024-05-17T13:45:00; --clock and --state need --live");
        return false;
    }
    if (!LiveRequested(parser))
        return true;
    LiveKept kept;
    bool found = false;
    if (parser.isSet(kState)) {
        *stateFile = std::make_unique<UnitStateFile>(parser.value(kState), model, settings, logs);
        if (!(*stateFile)->Load(QDateTime::currentDateTimeUtc(), &kept, &found, error))
            return false;
    }
    if (clock.isValid())
        model.Update([&](UnitState& s) { s.clock = clock; });
    *live = std::make_unique<LiveUnit>(model, settings, logs, events, quint32(seed));
    if (found)
        (*live)->Resume(kept);
    return true;
}

} // namespace unitsim
