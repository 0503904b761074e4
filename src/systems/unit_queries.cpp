#include "unit_queries.h"

#include <link/zstring.h>

#include <span>

namespace {
constexpr int kModelFieldSize = 32;

QString FieldText(const ReplyBuffer& reply, int at, int size)
{
    return ReadZString(std::span<const quint8>(reply).subspan(at, size), 0);
}
} // namespace

QString DecodeModelReply(const ReplyBuffer& reply)
{
    return FieldText(reply, 0, kModelFieldSize);
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
