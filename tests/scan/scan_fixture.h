#pragma once

#include "short_link_timings.h"

#include "test_databases.h"

#include <link/unit_command.h>
#include <link/unit_link.h>
#include <log_commands.h>
#include <scan/scan_engine.h>
#include <scan/scan_window.h>
#include <unit_commands.h>
#include <unit_simulator.h>

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>

// Records what the engine shows.
class FakeScanWindow : public ScanWindow
{
public:
    void ShowRunUnits(const std::vector<SystemInfo>& units) override { shownUnits = int(units.size()); }
    void ShowLinkState(int unit, quint8 linkState) override { linkStates[unit] = linkState; }
    void ClearOnlineColumn() override { linkStates.clear(); }
    void ShowScanProblem(const QString& text) override
    {
        status = text;
        if (!text.isEmpty())
            problems << text;
    }
    void RestoreIdle() override { ++restored; }

    int shownUnits = -1;
    std::map<int, int> linkStates;
    QStringList problems; // every report, in order
    QString status;       // what the status line shows now
    int restored = 0;
};

class FakeTimers : public ScanTimers
{
public:
    void Rearm(int scanIntervalMs) override
    {
        interval = scanIntervalMs;
        ++rearms;
    }
    void StopPing() override { pingStopped = true; }

    int interval = -1;
    int rearms = 0;
    bool pingStopped = false;
};

// A simulated unit: its model and the simulator that answers from it.
struct SimUnit
{
    unitsim::UnitModel model;
    unitsim::LogMemory logs;
    unitsim::CurrentEvents events;
    unitsim::UnitSimulator sim;

    void SetMode(unitsim::UnitMode mode) { unitsim::SetUnitMode(sim, model, mode); }
    int Arrivals(quint8 command) const { return sim.Arrivals(command); }
};

// Units on pseudo-terminals (COM n is the link "com<n>" in a temporary folder) and on TCP
// ports of 127.0.0.1, with their Systems_Info, Sensors_Info and Powermonitoring_Info rows,
// and the real engine over the real link.
class ScanFixture : public BothDriversTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A unit with every sensor and voltage input of its model used.
    SimUnit& AddSerialUnit(const QString& serial, int com,
                           const QString& model = QStringLiteral("TELVARON-1"));
    SimUnit& AddTcpUnit(const QString& serial, const QString& model = QStringLiteral("TELVARON-1"));
    void AddRequest(const QVariant& serial, const QVariant& type, const QVariant& attributes);

    void Pass() { engine_->ScanSystems(); }
    // Passes until every unit is online with no log pages pending; the number of passes.
    int PassUntilSettled(int limit = 100);
    // Records and Events_1 of a unit hold what its simulated unit logged, each row once.
    void ExpectLogsMirrored(const QString& serial, int sensors);
    // Reply and completion of each request, in insertion order: "reply/completed".
    QStringList Replies();
    const SystemRuntimeRecord& Unit(int i) const { return engine_->RuntimeSystems().at(i); }

    QTemporaryDir dir_;
    ScanFlags flags_;
    FakeScanWindow window_;
    FakeTimers timers_;
    int ended_ = 0;
    // The engine's clock moves on by passSeconds at each reading: a pass lasts that long.
    qint64 passSeconds_ = 0;
    QDateTime now_ = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    std::unique_ptr<UnitLink> link_;
    std::unique_ptr<ScanEngine> engine_;
    std::map<QString, std::unique_ptr<SimUnit>> units_;
};
