#pragma once

#include "program_end.h"

#include <scan/scan_flags.h>
#include <scan/scan_window.h>
#include <ui/systems_grid.h>

#include <QMainWindow>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QTableWidget;
class SettingsStore;
class ShellPrompter;

// What the main window needs from the rest of the program.
struct MainWindowServices
{
    std::function<void()> ScanSystems; // one scan pass; the first of a run starts the run
    std::function<void()> startPing;   // the ping timer, enabled by Connect
    std::function<void()> showSystemsList;
    // The used units in database order; nothing when the table cannot be read.
    std::function<std::optional<std::vector<SystemInfo>>()> loadUsedUnits;
    ProgramEnd endProgram;
};

// The server's one window: the systems grid, Connect/Disconnect, the management menu
// and the exit commands. It never talks to a unit: Connect starts the scan engine,
// Disconnect and exit only raise the flags that the engine acts on.
class Mainfrm : public QMainWindow, public ScanWindow
{
    Q_OBJECT
public:
    Mainfrm(SettingsStore& store, ShellPrompter& prompter, ScanFlags& flags, MainWindowServices services);

    QString BaseCaption() const;
    void FillGrid(const std::vector<SystemInfo>& units);
    // The end of start-up: status line cleared, Connect shown, enabled when units are listed.
    void FinishStartup();

    void cmd_Connect_Click();
    void AddRemoveSystems_Click();
    void Terminateprg_Click();
    void ChangeAppSettings_Click();
    void AutoConnect_setting_Click();
    // A close that is not the operator's (a signal, the end of the desktop session): the exit
    // as if its question had been answered Yes.
    void ExitUnasked();

    void ShowRunUnits(const std::vector<SystemInfo>& units) override;
    void ShowLinkState(int unit, quint8 linkState) override;
    void ClearOnlineColumn() override;
    void ShowScanProblem(const QString& text) override;
    void RestoreIdle() override;

    QLabel* Label1;
    QPushButton* cmd_Connect;
    QTableWidget* SysinfoGrid;
    QAction* ChangeAppSettings;
    QAction* AddRemoveSystems;
    QAction* AutoConnect_setting;
    QAction* Terminateprg;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The exit question (when asked) and its effect; true when the program is to end now.
    bool ConfirmExit(bool ask);
    void SetCell(int row, int column, const QString& text);
    void ResetGrid();
    void RefillGrid();

    SettingsStore& store_;
    ShellPrompter& prompter_;
    ScanFlags& flags_;
    MainWindowServices services_;
};
