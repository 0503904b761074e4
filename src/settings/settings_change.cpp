#include "settings_change.h"

#include "settings_writer.h"
#include "system_settings_form.h"

#include <db/database.h>
#include <link/event_wait.h>
#include <link/unit_link.h>
#include <ui/app_title.h>
#include <ui/prompter.h>
#include <unit/settings_image_store.h>
#include <unit/systems_info.h>
#include <unit/unit_address.h>
#include <unit/unit_queries.h>

#include <QCheckBox>

namespace {
const QString kTrue = QStringLiteral("True");

QString Description(const SystemInfo& unit)
{
    QString text = unit.serialNumber + QStringLiteral(" - ") + unit.model;
    if (const QString name = unit.systemName.toString(); !name.isEmpty())
        text += QStringLiteral(" - ") + name;
    return text;
}
} // namespace

QString UploadFailureText(const UploadOutcome& outcome)
{
    using Step = UploadOutcome::Step;
    // A transaction that failed says why; one that the unit answered, what it refused.
    const auto refusedOr = [&](const QString& refused) {
        return outcome.link == LinkOk ? refused : LinkFailureText(outcome.link);
    };
    QString text;
    switch (outcome.step) {
    case Step::Done:
        return {};
    case Step::Begin:
        text = refusedOr(QStringLiteral("Το σύστημα δεν δέχτηκε την αποστολή ρυθμίσεων !"));
        break;
    case Step::Record:
        text = QStringLiteral("Το σύστημα απέρριψε τις ρυθμίσεις κατά την αποστολή (εγγραφή %1) !")
                   .arg(outcome.record + 1);
        break;
    case Step::Silent:
        text = QStringLiteral("Το σύστημα σταμάτησε να απαντά κατά την αποστολή των ρυθμίσεων (εγγραφή %1) !")
                   .arg(outcome.record + 1);
        break;
    case Step::Commit:
        text = refusedOr(QStringLiteral("Το σύστημα δεν αποδέχτηκε τις νέες ρυθμίσεις !"));
        break;
    case Step::ReadBack:
        text = QStringLiteral("Δεν ήταν δυνατός ο έλεγχος των ρυθμίσεων του συστήματος. ") +
               LinkFailureText(outcome.link);
        break;
    case Step::Mismatch:
        text =
            QStringLiteral("Οι ρυθμίσεις που διαβάστηκαν από το σύστημα διαφέρουν από αυτές που στάλθηκαν !");
        break;
    }
    return text + QStringLiteral("\nΗ βάση δεδομένων δεν άλλαξε.");
}

SettingsChange::SettingsChange(Database& db, UnitLink& link, Prompter& prompter, ShowDialog show,
                               Progress progress, int recordReplyWait, CommitClock pcClock)
    : db_(db), link_(link), prompter_(prompter), show_(std::move(show)),
      line_(link, prompter, std::move(progress)), recordReplyWait_(recordReplyWait),
      pcClock_(std::move(pcClock))
{
}

bool SettingsChange::Run(const SystemInfo& unit, QWidget* dialogParent)
{
    const bool changed = Exchange(unit, dialogParent);
    line_.Close();
    return changed;
}

bool SettingsChange::Exchange(const SystemInfo& unit, QWidget* dialogParent)
{
    if (!Reach(unit))
        return false;
    SettingsImage image{};
    if (!line_.ReadSettings(image))
        return false;
    // The line is not held while the operator edits.
    line_.Close();

    CommitClock clock;
    if (!Edit(unit, image, clock, dialogParent))
        return false;
    QString problem;
    const auto settings = DecodeUnitSettings(image, ModelKindOf(unit.model), &problem);
    if (!settings)
        return line_.Refuse(QStringLiteral("Οι νέες ρυθμίσεις δεν είναι έγκυρες. ") + problem);

    if (!Reach(unit))
        return false;
    UploadProgress progress{
        [&](int records) {
            line_.Show(QStringLiteral("Αποστολή ρυθμίσεων: %1 / %2").arg(records).arg(kUploadRecords + 1));
        },
        [&](int blocks) {
            line_.Show(QStringLiteral("Έλεγχος ρυθμίσεων: %1 / %2").arg(blocks).arg(kSettingsBlockCount));
        }};
    const UploadOutcome sent = SettingsUpload(link_, line_.LinkSerial(), kDialogLinkElement, recordReplyWait_)
                                   .Send(image, clock, progress);
    if (sent.step != UploadOutcome::Step::Done)
        return line_.Refuse(UploadFailureText(sent));

    line_.Show(QStringLiteral("Αποθήκευση..."));
    if (!StoreSettingsImageData(db_, unit.serialNumber, *settings))
        return line_.Refuse(
            QStringLiteral("Οι ρυθμίσεις αποθηκεύτηκαν στο σύστημα, όχι όμως στη βάση δεδομένων:\n") +
            db_.LastError().description);
    line_.Show(QString());
    prompter_.Message(
        Prompter::Icon::Information, Prompter::Buttons::Ok, kAppTitle,
        QStringLiteral("Οι νέες ρυθμίσεις αποθηκεύτηκαν στο σύστημα %1.").arg(unit.serialNumber));
    return true;
}

bool SettingsChange::Edit(const SystemInfo& unit, SettingsImage& image, CommitClock& clock,
                          QWidget* dialogParent)
{
    PumpEventsOnce();
    const int kind = ModelKindOf(unit.model);
    SystemSettingsFrm form(prompter_, dialogParent);
    form.setWindowTitle(QStringLiteral("Ρυθμίσεις / ") + Description(unit));
    form.Check6->setChecked(true);
    FillSettingsForm(form, kind, unit.model, image);
    for (;;) {
        show_(form);
        if (form.Tag != kTrue)
            return false;
        const SettingsFormValues values = form.Values();
        if (const auto refusal = CheckSettingsForm(values)) {
            prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::Ok, kRefusalTitle, *refusal);
            form.Tag.clear();
            continue;
        }
        if (!EncodeSettingsForm(values, image))
            return line_.Refuse(QStringLiteral("Οι νέες ρυθμίσεις δεν είναι έγκυρες."));
        // The PC clock is read when the commit goes, after the upload, not now.
        if (const auto entered = form.ClockToSet())
            clock = [entered = *entered] { return entered; };
        else
            clock = pcClock_;
        return true;
    }
}

bool SettingsChange::Reach(const SystemInfo& unit)
{
    const auto address = ListedAddress(unit).Address();
    if (!address)
        return line_.Refuse(
            QStringLiteral("Η διεύθυνση του συστήματος %1 δεν είναι έγκυρη !").arg(unit.serialNumber));
    if (!line_.Open(
            *address,
            QStringLiteral("Δεν ήταν δυνατή η σύνδεση με το σύστημα μέσω %1 !").arg(address->Display())))
        return false;
    const auto identity = line_.Identify();
    if (!identity)
        return false;
    if (identity->serialNumber != unit.serialNumber)
        return line_.Refuse(QStringLiteral("Μέσω %1 απαντά το σύστημα %2 και όχι το %3 !")
                                .arg(address->Display(), identity->serialNumber, unit.serialNumber));
    return true;
}
