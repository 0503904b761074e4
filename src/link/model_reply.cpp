#include "model_reply.h"

#include "zstring.h"

#include <span>

namespace {
constexpr int kModelFieldSize = 32;
} // namespace

QString DecodeModelReply(const ReplyBuffer& reply)
{
    return ReadZString(std::span<const quint8>(reply).first(kModelFieldSize), 0);
}
