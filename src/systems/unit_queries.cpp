#include "unit_queries.h"

#include <link/zstring.h>

#include <span>

namespace {
constexpr int kModelFieldSize = 32;
} // namespace

QString DecodeModelReply(const ReplyBuffer& reply)
{
    return ReadZString(std::span<const quint8>(reply).first(kModelFieldSize), 0);
}

int SettingsBlockRequest(RequestFrame& request, int block)
{
    request = {CmdReadSettingsBlock, quint8(block)};
    return 2;
}

bool SettingsBlockReplyIsFor(const ReplyBuffer& reply, int block)
{
    return reply[kSettingsBlockSize] == block;
}
