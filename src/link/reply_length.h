#pragma once

#include "unit_command.h"

#include <QtGlobal>

// Payload length of each command's reply, check byte included, status byte excluded.
// 0 for a code the unit protocol does not have.
int ReplyLength(quint8 command);
