#include "runtime_folder.h"

#include <QFile>
#include <QStandardPaths>

namespace {
QtMessageHandler passOn = nullptr;

void DropUnsetWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QLatin1StringView("XDG_RUNTIME_DIR not set")))
        passOn(type, context, message);
}
} // namespace

void ProvideRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // Qt makes the folder, or checks the one there, as the user's own and closed to others; any
    // complaint but the one this call prevents is passed on.
    passOn = qInstallMessageHandler(DropUnsetWarning);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    qInstallMessageHandler(passOn);
    if (!folder.isEmpty())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
}
