#include "log_options.h"

#include <QCommandLineParser>

namespace unitsim {

namespace {
const QString kSamples = QStringLiteral("log-samples");
const QString kEvents = QStringLiteral("log-events");
const QString kInterval = QStringLiteral("log-interval");
} // namespace

void AddLogOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kSamples, QStringLiteral("Samples logged by each sensor before serving."), QStringLiteral("n"),
         QStringLiteral("0")},
        {kEvents, QStringLiteral("Events logged before serving."), QStringLiteral("n"), QStringLiteral("0")},
        {kInterval,
         QStringLiteral("Minutes between the samples logged before serving, 1 to 1440; with --live "
                        "also every sensor's recording rate in the settings image, at which it "
                        "logs while serving."),
         QStringLiteral("minutes"), QStringLiteral("1")},
    });
}

bool ApplyLogOptions(const QCommandLineParser& parser, LogMemory& memory, int sensors, int* intervalMinutes,
                     QString* error)
{
    bool samplesOk = false, eventsOk = false, intervalOk = false;
    const int samples = parser.value(kSamples).toInt(&samplesOk);
    const int events = parser.value(kEvents).toInt(&eventsOk);
    const int interval = parser.value(kInterval).toInt(&intervalOk);
    if (!samplesOk || !eventsOk || !intervalOk || samples < 0 || events < 0 || interval < 1 ||
        interval > 1440) {
        *error = QStringLiteral("--log-samples and --log-events take a count, --log-interval 1 to 1440");
        return false;
    }
    PrefillLogs(memory, sensors, samples, events, interval);
    *intervalMinutes = interval;
    return true;
}

} // namespace unitsim
