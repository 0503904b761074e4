#pragma once

#include "link_result.h"

#include <QString>

// The reply to CmdReadModel: the model name, the zero-ended text that fills the reply before its
// check byte.
QString DecodeModelReply(const ReplyBuffer& reply);
