#include "unit_queries.h"

int SettingsBlockRequest(RequestFrame& request, int block)
{
    request = {CmdReadSettingsBlock, quint8(block)};
    return 2;
}

bool SettingsBlockReplyIsFor(const ReplyBuffer& reply, int block)
{
    return reply[kSettingsBlockSize] == block;
}
