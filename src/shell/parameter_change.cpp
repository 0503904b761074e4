#include "parameter_change.h"

#include "settings_store.h"
#include "shell_prompter.h"

#include <ui/app_title.h>

void ChangeApplicationSettings(SettingsStore& store, ShellPrompter& prompter, const ProgramEnd& endProgram)
{
    const QString caption = kAppTitle + QStringLiteral(" / Αλλαγή παραμέτρων εφαρμογής");
    const auto typed =
        prompter.Password(caption, QStringLiteral("Παρακαλώ εισάγετε τον κωδικό προστασίας παραμέτρων"));
    if (!typed || typed->isEmpty())
        return;
    if (*typed != store.Read(Setting::Sps, Setting::SP1)) {
        prompter.Message(Prompter::Icon::Critical, Prompter::Buttons::Ok, caption,
                         QStringLiteral("Λάθος κωδικός !"));
        return;
    }
    if (!prompter.EditSettings(store))
        return;
    store.Write(Setting::AppSettings, Setting::Init, QStringLiteral("1"));
    prompter.Message(
        Prompter::Icon::Information, Prompter::Buttons::Ok, caption,
        QStringLiteral("Πατήστε 'ΟΚ' για να τερματίσετε την εφαρμογή.\r\n"
                       "Οι αλλαγές θα ισχύσουν απο την επόμενη φορά που θα εκτελεστεί η εφαρμογή ") +
            kAppTitle);
    endProgram();
}
