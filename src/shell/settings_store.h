#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The application settings: text values addressed by section and key, kept in the
// per-user settings file named after the application title. Every write is synced
// at once, so an accepted change survives an immediate exit; the file is readable by
// its owner only, since it holds the parameter-protection password.
class SettingsStore
{
public:
    SettingsStore();                                 // the user's own store
    explicit SettingsStore(const QString& filePath); // a store at a given path (tests, tools)

    QString Read(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    void Write(const QString& section, const QString& key, const QString& text);

    QString FileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

namespace Setting {
inline constexpr auto AppSettings = "AppSettings";
inline constexpr auto Sps = "SPS";
inline constexpr auto Init = "Init";
inline constexpr auto DBType = "DBType";
inline constexpr auto DBFile = "DBFile";
inline constexpr auto DBDataSource = "DBDataSource";
inline constexpr auto DBServerIP = "DBServerIP";
inline constexpr auto DBServerPORT = "DBServerPORT";
inline constexpr auto AutoConnect = "AutoConnect";
inline constexpr auto SP1 = "SP1";
} // namespace Setting
