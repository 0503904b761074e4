#include "general_settings.h"

#include "settings_store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

GeneralSettingsEntries LoadGeneralSettings(const SettingsStore& store)
{
    using namespace Setting;
    GeneralSettingsEntries e;
    e.password = store.Read(Sps, SP1);
    e.confirmation = e.password;
    e.fileDatabase = store.Read(AppSettings, DBType) == QLatin1String("0");
    e.dbFile = store.Read(AppSettings, DBFile);
    e.dataSource = store.Read(AppSettings, DBDataSource);
    e.serverIp = store.Read(AppSettings, DBServerIP);
    e.serverPort = store.Read(AppSettings, DBServerPORT);
    return e;
}

QString GeneralSettingsRefusal(const GeneralSettingsEntries& e)
{
    if (e.fileDatabase) {
        if (e.dbFile.isEmpty())
            return QStringLiteral("Δεν έχετε συμπληρώσει τo πεδίo 'Αρχείο βάσης δεδομένων (tldb.db)'");
    } else {
        if (e.dataSource.isEmpty())
            return QStringLiteral("Δεν έχετε συμπληρώσει τo πεδίo 'Όνομα βάσης δεδομένων (data source)'");
        if (!e.serverIp.isEmpty()) {
            if (e.serverPort.isEmpty())
                return QStringLiteral("Δεν έχετε συμπληρώσει τo πεδίo 'Port διακομιστή (server Port)'");
            const bool digits = std::all_of(e.serverPort.begin(), e.serverPort.end(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            });
            if (!digits)
                return QStringLiteral("To πεδίo 'Port διακομιστή (server Port)' πρέπει να είναι αριθμός.");
        }
    }
    if (e.password.isEmpty() && e.confirmation.isEmpty())
        return QStringLiteral("Δεν έχετε συμπληρώσει τα πεδία 'Κωδικός προστασίας παραμέτρων' και "
                              "'Επιβεβαίωση κωδικού'");
    if (e.password != e.confirmation)
        return QStringLiteral("Tα πεδία 'Κωδικός προστασίας παραμέτρων' και 'Επιβεβαίωση κωδικού' δεν "
                              "συμφωνούν");
    return {};
}

void SaveGeneralSettings(SettingsStore& store, const GeneralSettingsEntries& e)
{
    using namespace Setting;
    store.Write(Sps, SP1, e.password);
    store.Write(AppSettings, DBType, e.fileDatabase ? QStringLiteral("0") : QStringLiteral("1"));
    store.Write(AppSettings, DBFile, e.dbFile);
    store.Write(AppSettings, DBDataSource, e.dataSource);
    store.Write(AppSettings, DBServerIP, e.serverIp);
    store.Write(AppSettings, DBServerPORT, e.serverPort);
}

QString DatabaseFilePreset(const QString& appFolder)
{
    const QFileInfo preset(QDir(appFolder), QStringLiteral("tldb.db"));
    return preset.isFile() ? preset.absoluteFilePath() : QString();
}
