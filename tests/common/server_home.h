#pragma once

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// The real server as a process keeps its settings and its single-instance lock in the test's own
// folder: the user's settings and a server the user runs stay untouched.
inline QProcessEnvironment ServerEnvironment(const QTemporaryDir& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// Writes the settings file the server reads in that folder and makes its runtime folder.
inline bool WriteServerSettings(const QTemporaryDir& home, const QString& text)
{
    const QString folder = home.filePath(QStringLiteral("config/TELVARON Server"));
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    if (!QDir().mkpath(folder) || !QDir().mkpath(runtime))
        return false;
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile conf(folder + QStringLiteral("/TELVARON Server.conf"));
    return conf.open(QIODevice::WriteOnly) && conf.write(text.toUtf8()) >= 0;
}
