#pragma once

#include <QLockFile>

#include <memory>

// Held for the whole run: nothing when another instance of the server already runs
// for this user.
std::unique_ptr<QLockFile> AcquireSingleInstance();
