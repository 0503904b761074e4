#include "single_instance.h"

#include <ui/app_title.h>

#include <QDir>
#include <QFileInfo>

std::unique_ptr<QLockFile> AcquireSingleInstance(const QString& settingsFile)
{
    const QString folder = QFileInfo(settingsFile).absolutePath();
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + kAppTitle + QStringLiteral(".lock"));
    // The lock is held for the whole run: its age never makes it stale, only the end of
    // the server that holds it.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}
