#include "lock_wait.h"

namespace {
constexpr long kSqliteBusy = 5;
constexpr long kSqliteLocked = 6;
} // namespace

bool LockWaitRanOut(DbDriver driver, const DbError& error)
{
    if (driver == DbDriver::PostgreSQL)
        return error.state == "55P03" || error.state == "57014";
    // The extended codes carry the primary one in their low byte.
    const long primary = error.number & 0xff;
    return primary == kSqliteBusy || primary == kSqliteLocked;
}
