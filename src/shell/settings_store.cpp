#include "settings_store.h"

#include <ui/app_title.h>

#include <QFile>

#include <sys/stat.h>

SettingsStore::SettingsStore()
    : settings_(
          std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kAppTitle, kAppTitle))
{
}

SettingsStore::SettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::NativeFormat))
{
}

QString SettingsStore::Read(const QString& section, const QString& key, const QString& defaultValue) const
{
    return settings_->value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SettingsStore::Write(const QString& section, const QString& key, const QString& text)
{
    settings_->setValue(section + QLatin1Char('/') + key, text);
    // The file holds the parameter password: it is never readable by others, not even
    // for the moment between its creation and a change of its mode.
    const mode_t previous = ::umask(077);
    settings_->sync();
    ::umask(previous);
    QFile::setPermissions(settings_->fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

QString SettingsStore::FileName() const
{
    return settings_->fileName();
}
