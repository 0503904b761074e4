#pragma once

#include "system_runtime_record.h"

#include <link/frame.h>
#include <link/link_result.h>

class UnitLink;

// One unit's link as the scan steps use it. A TCP unit is connected only within its own
// turn; a serial unit's port stays open for the whole run, so both calls leave it alone.
void ConnectUnit(UnitLink& link, const SystemRuntimeRecord& unit);
void CloseUnit(UnitLink& link, const SystemRuntimeRecord& unit);

// One block-mode transaction with the unit on its link element.
LinkResult ExchangeWithUnit(UnitLink& link, const SystemRuntimeRecord& unit, RequestFrame& request,
                            ReplyBuffer& reply, int dataLength);
