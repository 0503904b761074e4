#include "database_opening.h"

#include "db_error_explanation.h"
#include "parameter_change.h"
#include "settings_store.h"
#include "shell_prompter.h"
#include "wait_form.h"

#include <db/database.h>
#include <db/sqlite_compaction.h>
#include <ui/app_title.h>

#include <QCoreApplication>
#include <QWidget>

namespace {
QString AppSetting(const SettingsStore& store, const char* key)
{
    return store.Read(Setting::AppSettings, key);
}
} // namespace

void EndOnDatabaseFailure(SettingsStore& store, ShellPrompter& prompter, Database& db,
                          const ProgramEnd& endProgram, long number, const QString& description)
{
    QString text;
    DbErrorExplanation(text, number, description);
    text +=
        QStringLiteral("\r\n\r\nΠατήστε 'Ναι' για να αλλάξετε τις παραμέτρους της εφαρμογής ή 'Όχι' για να "
                       "τερματίσετε την εφαρμογή.");
    if (prompter.Message(Prompter::Icon::Critical, Prompter::Buttons::YesNo, kAppTitle, text) ==
        Prompter::Answer::Yes) {
        bool ended = false;
        ChangeApplicationSettings(store, prompter, [&] {
            ended = true;
            endProgram();
        });
        if (ended)
            return;
        prompter.Message(Prompter::Icon::Information, Prompter::Buttons::Ok, kAppTitle,
                         QStringLiteral("Πατήστε 'ΟΚ' για να τερματίσετε την εφαρμογή."));
    }
    db.Close();
    endProgram();
}

void BackUpAndCompact(const QString& dbFile)
{
    CompactDatabaseFile(dbFile);
}

bool OpenDatabase(SettingsStore& store, ShellPrompter& prompter, Database& db, QWidget* window,
                  const ProgramEnd& endProgram, const FilePreparation& prepare)
{
    bool numeric = false;
    const int DBTypeSetting = AppSetting(store, Setting::DBType).toInt(&numeric);
    if (!numeric) {
        EndOnDatabaseFailure(
            store, prompter, db, endProgram, 0,
            QStringLiteral("DBType: \"%1\" is not a database kind").arg(AppSetting(store, Setting::DBType)));
        return false;
    }

    QString waitText;
    PgServer server;
    if (DBTypeSetting == 0) {
        if (window) {
            // The compaction holds the event loop: the locked window must be on the screen first.
            window->setEnabled(false);
            ShowPainted(window);
        }
        prepare(AppSetting(store, Setting::DBFile));
        if (window)
            window->setEnabled(true);
        waitText = QStringLiteral("Άνοιγμα αρχείου βάσης δεδομένων.");
    } else {
        server.serverIp = AppSetting(store, Setting::DBServerIP);
        server.serverPort = AppSetting(store, Setting::DBServerPORT);
        server.dataSource = AppSetting(store, Setting::DBDataSource);
        waitText = QStringLiteral("Επιχειρείται σύνδεση με τον διακομιστή.\r\nIP:") + server.serverIp +
                   QStringLiteral("  PORT:") + server.serverPort;
    }

    auto* wait = new Waitfrm(waitText, window);
    const bool opened =
        DBTypeSetting == 0 ? db.OpenSqlite(AppSetting(store, Setting::DBFile)) : db.OpenPostgres(server);
    delete wait;
    QCoreApplication::processEvents();
    if (opened)
        return true;
    const DbError failure = db.LastError();
    EndOnDatabaseFailure(store, prompter, db, endProgram, failure.number, failure.description);
    return false;
}
