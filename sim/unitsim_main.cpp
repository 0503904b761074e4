// telvaron-unitsim: a simulated field unit on a pseudo-terminal, a tty device or a TCP port of
// 127.0.0.1, until SIGTERM or SIGINT.
#include "live_options.h"
#include "log_commands.h"
#include "log_options.h"
#include "settings_memory.h"
#include "settings_options.h"
#include "settings_upload.h"
#include "termination_signals.h"
#include "unit_commands.h"
#include "unit_options.h"
#include "unit_simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvaron-unitsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated TELVARON field unit."));
    parser.addHelpOption();
    const QCommandLineOption pty(
        QStringLiteral("pty"),
        QStringLiteral("Serve a pseudo-terminal, published as a symbolic link at <path>."),
        QStringLiteral("path"));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Serve TCP <port> of 127.0.0.1 (0: any free port)."),
                                 QStringLiteral("port"));
    const QCommandLineOption device(
        QStringLiteral("device"), QStringLiteral("Serve an existing tty at <path>, opened when it appears."),
        QStringLiteral("path"));
    const QCommandLineOption paced(QStringLiteral("paced"),
                                   QStringLiteral("Send at the pace of 115200 baud."));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"),
                                        QStringLiteral("Wait <ms> before every answer."),
                                        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Log the traffic to <file>."),
                                 QStringLiteral("file"));
    const QCommandLineOption logStderr(QStringLiteral("log-stderr"),
                                       QStringLiteral("Log the traffic to stderr."));
    const QCommandLineOption bare(QStringLiteral("bare-status"),
                                  QStringLiteral("Send status-only answers as the single status byte."));
    // Without it the unit supports no command: a bare line for protocol tests.
    const QCommandLineOption unit(QStringLiteral("unit"),
                                  QStringLiteral("Answer as a unit: identity, status, model, settings image "
                                                 "and settings upload, from the options below."));
    parser.addOptions({pty, tcp, device, paced, turnaround, log, logStderr, bare, unit});
    unitsim::AddUnitOptions(parser);
    unitsim::AddSettingsOptions(parser);
    unitsim::AddLogOptions(parser);
    unitsim::AddLiveOptions(parser);
    parser.process(app);

    const int lines = int(parser.isSet(pty)) + int(parser.isSet(tcp)) + int(parser.isSet(device));
    bool portOk = true;
    const uint port = parser.value(tcp).toUInt(&portOk);
    bool turnaroundOk = true;
    const int turnaroundMs = parser.value(turnaround).toInt(&turnaroundOk);
    if (lines != 1 || (parser.isSet(tcp) && (!portOk || port > 65535)) || !turnaroundOk || turnaroundMs < 0) {
        std::fputs("telvaron-unitsim: give one of --pty <path>, --tcp <port>, --device <path>; "
                   "--turnaround takes milliseconds\n",
                   stderr);
        return 2;
    }

    unitsim::UnitModel model;
    unitsim::SettingsMemory memory;
    unitsim::LogMemory logs;
    unitsim::CurrentEvents events;
    std::unique_ptr<unitsim::LiveUnit> live;
    std::unique_ptr<unitsim::UnitStateFile> stateFile;
    QString optionError;
    int interval = 0;
    if (!unitsim::ApplyUnitOptions(parser, model, &optionError) ||
        !unitsim::ApplyLogOptions(parser, logs, model.State().identity.sensorCount, &interval,
                                  &optionError) ||
        !unitsim::ApplySettingsOptions(
            parser, model, memory,
            unitsim::LiveRequested(parser) ? interval : unitsim::ImageSensor().recordingRate, &optionError) ||
        !unitsim::ApplyLiveOptions(parser, model, memory, logs, events, &live, &stateFile, &optionError)) {
        std::fprintf(stderr, "telvaron-unitsim: %s\n", qPrintable(optionError));
        return 2;
    }
    unitsim::SettingsUpload upload(model, memory);
    unitsim::UnitSimulator sim;
    if (parser.isSet(unit)) {
        unitsim::InstallUnitCommands(sim, model);
        unitsim::InstallSettingsCommands(sim, model, memory);
        unitsim::InstallLogCommands(sim, model, logs, events);
        unitsim::InstallSettingsUpload(sim, model, upload);
    }
    QFile logFile;
    if (parser.isSet(log)) {
        logFile.setFileName(parser.value(log));
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            std::fprintf(stderr, "telvaron-unitsim: %s: %s\n", qPrintable(logFile.fileName()),
                         qPrintable(logFile.errorString()));
            return 1;
        }
    } else if (parser.isSet(logStderr)) {
        logFile.open(stderr, QIODevice::WriteOnly | QIODevice::Text);
    }
    if (logFile.isOpen())
        sim.SetLogDevice(&logFile);
    sim.SetPaced(parser.isSet(paced));
    sim.SetTurnaround(turnaroundMs);
    sim.SetBareStatus(parser.isSet(bare));

    QElapsedTimer sinceStart;
    QTimer liveTimer;
    QString saveError;
    // Saved right after each change, so that what the server has read is kept even by a kill.
    const auto keep = [&] {
        QString error;
        if (stateFile &&
            !stateFile->SaveIfChanged(live->Kept(sinceStart.elapsed()), QDateTime::currentDateTimeUtc(),
                                      &error) &&
            error != saveError)
            std::fprintf(stderr, "telvaron-unitsim: %s\n", qPrintable(error));
        saveError = error;
    };
    if (live) {
        sinceStart.start();
        live->AdvanceTo(0);
        keep();
        QObject::connect(&liveTimer, &QTimer::timeout, [&] {
            live->AdvanceTo(sinceStart.elapsed());
            keep();
        });
        liveTimer.start(250);
    }

    QuitOnTerminationSignals();
    const bool serving = parser.isSet(pty)   ? sim.ServePty(parser.value(pty))
                         : parser.isSet(tcp) ? sim.ServeTcp(quint16(port))
                                             : sim.ServeDevice(parser.value(device));
    if (!serving) {
        std::fprintf(stderr, "telvaron-unitsim: %s\n", qPrintable(sim.ErrorString()));
        return 1;
    }
    // A script waits for this line before it connects.
    std::printf("serving %s\n", qPrintable(sim.LineDescription()));
    std::fflush(stdout);

    const int status = app.exec();
    sim.Stop();
    if (live) {
        live->AdvanceTo(sinceStart.elapsed());
        keep();
    }
    sim.SetLogDevice(nullptr);
    return status;
}
