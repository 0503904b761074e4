#pragma once

#include <QtGlobal>

namespace unitsim {

// Payload bytes of the unit's answer to a command, check byte included, status byte not;
// 0 for a code the unit does not know. Kept apart from the server's table on purpose: the
// simulator must encode what the server decodes, so a misreading shows instead of being shared.
int ReplyLength(quint8 command);

} // namespace unitsim
