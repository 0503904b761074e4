#pragma once

#include "db_session.h"

// The statement gave up waiting on what another connection held: on SQLite the file, on
// PostgreSQL a table (or the statement's own time ran out while it waited).
bool LockWaitRanOut(DbDriver driver, const DbError& error);
