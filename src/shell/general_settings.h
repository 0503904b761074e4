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

// Where the database file dialog opens: on the current file when it exists, else in its folder
// when that exists, else in the working folder, on its tldb.db when there is one.
QString DatabaseFileDialogStart(const QString& dbFile);
