#include "single_instance.h"

#include "app_title.h"

#include <QDir>
#include <QStandardPaths>

std::unique_ptr<QLockFile> AcquireSingleInstance()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + AppTitle + QStringLiteral(".lock"));
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}
