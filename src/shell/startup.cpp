#include "startup.h"

#include "database_opening.h"
#include "main_window.h"
#include "settings_store.h"
#include "shell_prompter.h"
#include "wait_form.h"

#include <db/database.h>
#include <ui/app_title.h>
#include <unit/systems_info.h>

#include <QAction>
#include <QPushButton>

namespace {

// False when the operator gave up on the first-run set-up.
bool FirstRun(SettingsStore& store, ShellPrompter& prompter)
{
    using namespace Setting;
    prompter.Message(
        Prompter::Icon::Information, Prompter::Buttons::Ok, kAppTitle,
        QStringLiteral("Καλωσορίσατε στην εφαρμογή ") + kAppTitle +
            QStringLiteral(".\r\nΠαρακαλώ πατήστε 'ΟΚ' για να καθορίσετε τις παραμέτρους λειτουργίας "
                           "της εφαρμογής."));
    store.Write(Sps, SP1, QString());
    store.Write(AppSettings, DBType, QStringLiteral("0"));
    for (const char* key : {DBFile, DBDataSource, DBServerIP, DBServerPORT})
        store.Write(AppSettings, key, QString());
    while (!prompter.EditSettings(store)) {
        const auto answer = prompter.Message(
            Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel, kAppTitle,
            QStringLiteral("H εφαρμογή ") + kAppTitle +
                QStringLiteral(
                    " δεν μπορεί να ξεκινήσει εάν δεν καθοριστούν οι παράμετροι λειτουργίας της.\r\n"
                    "Πατήστε 'ΟΚ' για καθορισμό ή 'Άκυρο' για να τερματίσετε την εφαρμογή."));
        if (answer != Prompter::Answer::Ok)
            return false;
    }
    store.Write(AppSettings, Init, QStringLiteral("1"));
    return true;
}

// Empties the live tables and sets every used unit offline, all or nothing.
bool ResetLiveState(Database& db)
{
    return db.Transaction([](DbSession& s) {
        for (const char* table : LiveTables)
            if (!s.Exec(QStringLiteral("DELETE FROM ") + QLatin1String(table)))
                return false;
        return s.Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=0 WHERE SyI_Used=1")).has_value();
    });
}
} // namespace

bool RunStartup(SettingsStore& store, ShellPrompter& prompter, Database& db, Mainfrm& window,
                const ProgramEnd& endProgram)
{
    using namespace Setting;
    if (store.Read(AppSettings, Init, QStringLiteral("0")) == QLatin1String("0") &&
        !FirstRun(store, prompter))
        return false;
    window.AutoConnect_setting->setChecked(store.Read(AppSettings, AutoConnect, QStringLiteral("0")) ==
                                           QLatin1String("1"));
    ShowPainted(&window);

    if (!OpenDatabase(store, prompter, db, &window, endProgram))
        return false;

    std::optional<std::vector<SystemInfo>> units;
    if (ResetLiveState(db))
        units = LoadUsedSystems(db);
    if (!units) {
        const DbError failure = db.LastError();
        EndOnDatabaseFailure(store, prompter, db, endProgram, failure.number, failure.description);
        return false;
    }
    window.FillGrid(*units);
    window.FinishStartup();

    if (window.cmd_Connect->isEnabled() &&
        store.Read(AppSettings, AutoConnect, QStringLiteral("0")) == QLatin1String("1"))
        window.cmd_Connect_Click();
    return true;
}
