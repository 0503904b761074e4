#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Held for the whole run: nothing when another instance of the server already runs
// for this user. The lock lies beside the user's settings file, so a second start from
// another login finds it whatever its runtime folder; a lock whose server is gone (killed,
// or before a reboot) is taken over.
std::unique_ptr<QLockFile> AcquireSingleInstance(const QString& settingsFile);
