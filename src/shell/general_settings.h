#pragma once

#include <QString>

class SettingsStore;

// What the settings dialog edits, as the operator sees it.
struct GeneralSettingsEntries
{
    bool fileDatabase = true; // "SQLite" selected; otherwise "PostgreSQL"
    QString dbFile;
    QString dataSource;
    QString serverIp;
    QString serverPort;
    QString password;
    QString confirmation;
};

GeneralSettingsEntries LoadGeneralSettings(const SettingsStore& store);

// The first check that the entries fail, in the dialog's order, as the message to show;
// empty when they may be saved.
QString GeneralSettingsRefusal(const GeneralSettingsEntries& entries);

// Writes all six keys, whichever database kind is selected.
void SaveGeneralSettings(SettingsStore& store, const GeneralSettingsEntries& entries);

// The file name the database file dialog opens with: the tldb.db of the program's folder when
// that file exists, else none.
QString DatabaseFilePreset(const QString& appFolder);
