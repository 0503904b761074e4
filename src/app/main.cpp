#include <db/database.h>
#include <link/serial_port_path.h>
#include <link/unit_link.h>
#include <scan/scan_engine.h>
#include <settings/settings_change.h>
#include <settings/system_settings_form.h>
#include <shell/console_notices.h>
#include <shell/main_window.h>
#include <shell/qt_prompter.h>
#include <shell/runtime_folder.h>
#include <shell/scan_scheduler.h>
#include <shell/settings_store.h>
#include <shell/single_instance.h>
#include <shell/startup.h>
#include <shell/termination_signals.h>
#include <systems/systems_list.h>
#include <ui/app_title.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ProvideRuntimeFolder();
    ConsoleNotices notices;
    InstallConsoleNotices(notices);
    QApplication app(argc, argv);
    SettingsStore store;
    const auto instance = AcquireSingleInstance(store.FileName());
    if (!instance)
        return 0;

    QtPrompter prompter;
    Database db;
    ScanFlags flags;
    const ProgramEnd endProgram = [&] {
        db.Close();
        instance->unlock();
        std::fflush(nullptr);
        // Straight out, also from inside a pass or a dialog: nothing is left to save.
        std::_Exit(0);
    };

    UnitLink link(SettingsSerialPorts(kAppTitle));
    ScanEngine* engine = nullptr;
    ScanScheduler scheduler(db, [&] { engine->ScanSystems(); });
    const SystemsList::ChangeSettings changeSettings = [&](const SystemInfo& unit,
                                                           DialogLine::Progress progress, QWidget* parent) {
        const auto showModally = [](SystemSettingsFrm& form) { form.exec(); };
        return SettingsChange(db, link, prompter, showModally, std::move(progress)).Run(unit, parent);
    };
    Mainfrm window(
        store, prompter, flags,
        MainWindowServices{
            .ScanSystems = [&] { engine->ScanSystems(); },
            .startPing = [&] { scheduler.StartPing(); },
            .showSystemsList = [&] { SystemsList(db, link, prompter, changeSettings, &window).exec(); },
            .loadUsedUnits = [&] { return LoadUsedSystems(db); },
            .endProgram = endProgram,
        });
    QObject::connect(&link, &UnitLink::UnsupportedCommand, &window, [&] {
        prompter.Message(Prompter::Icon::Critical, Prompter::Buttons::Ok, kAppTitle,
                         QString::fromLatin1(kUnsupportedCommandText));
    });
    ScanEngine scanEngine(db, link, flags, window, scheduler, endProgram);
    engine = &scanEngine;
    prompter.SetParent(&window);
    // A signal ends the program as an exit nobody is asked about; a second one ends it at once.
    const TerminationSignals termination([&] { window.ExitUnasked(); }, endProgram);

    if (!RunStartup(store, prompter, db, window, endProgram))
        return 0;
    return app.exec();
}
