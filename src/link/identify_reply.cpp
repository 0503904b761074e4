#include "identify_reply.h"

#include "zstring.h"

#include <span>

namespace {
constexpr int kSoftwareField = 0, kHardwareField = 8, kVersionFieldSize = 8;
constexpr int kSerialField = 16, kSerialFieldSize = 16;
constexpr int kSystemNumberAt = 32;

QString FieldText(const ReplyBuffer& reply, int at, int size)
{
    return ReadZString(std::span<const quint8>(reply).subspan(at, size), 0);
}
} // namespace

IdentifyReply DecodeIdentifyReply(const ReplyBuffer& reply)
{
    return {FieldText(reply, kSoftwareField, kVersionFieldSize),
            FieldText(reply, kHardwareField, kVersionFieldSize),
            FieldText(reply, kSerialField, kSerialFieldSize), reply[kSystemNumberAt]};
}
