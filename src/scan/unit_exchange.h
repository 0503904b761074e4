#pragma once

#include "system_runtime_record.h"

#include <link/frame.h>
#include <link/link_result.h>

class UnitLink;

// One unit's link as the scan steps use it. A TCP unit is connected only within its own
// turn; a serial unit's port stays open for the whole run, so closing leaves it alone, and
// connecting only opens one that is not open (absent at the run start, or lost since).
// Connecting tells the operator why the port did not open; empty when it opened or there is no
// port to name.
QString ConnectUnit(UnitLink& link, const SystemRuntimeRecord& unit);
void CloseUnit(UnitLink& link, const SystemRuntimeRecord& unit);

// One block-mode transaction with the unit on its link element.
LinkResult ExchangeWithUnit(UnitLink& link, const SystemRuntimeRecord& unit, RequestFrame& request,
                            ReplyBuffer& reply, int dataLength);
