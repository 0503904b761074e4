#include "status_reply.h"

#include <link/field_bytes.h>
#include <link/int_codec.h>
#include <link/stamp_codec.h>

namespace {
constexpr int kPowerByte = 60;
constexpr int kClockOffset = 61;
constexpr int kAlarmByte = 67;
constexpr int kRelayBByte = 68;
constexpr int kSensorFaultBytes = 69;
constexpr int kSystemFaultByte = 73;
constexpr int kSystemFault8Byte = 74;
constexpr int kLogBlockedBit = 2;
constexpr int kClockInvalidBit = 4;
constexpr int kSystemFaults = 9;

bool FaultBitSet(std::span<const quint8> reply, const UnitFault& fault)
{
    const int n = fault.info.toInt();
    if (fault.type == 0)
        return n < 8 ? BitIsSet(ByteAt(reply, kSystemFaultByte), n)
                     : BitIsSet(ByteAt(reply, kSystemFault8Byte), 0);
    return BitIsSet(ByteAt(reply, kSensorFaultBytes + (n - 1) / 8), (n - 1) % 8);
}
} // namespace

SensorReading StatusSensor(std::span<const quint8> reply, int n)
{
    if (n < 1 || n > kStatusSensorEntries)
        return {};
    const int at = 3 * (n - 1);
    const quint8 flags = ByteAt(reply, at + 2);
    return {ReadTenths14(reply.first(std::min<std::size_t>(reply.size(), kStatusReplyLength)), at),
            BitIsSet(flags, 1), !BitIsSet(flags, 0), BitIsSet(flags, 2)};
}

PowerReading StatusPower(std::span<const quint8> reply, int p)
{
    if (p < 1 || p > kStatusPowerInputs)
        return {};
    const quint8 bits = ByteAt(reply, kPowerByte);
    return {BitIsSet(bits, p + 3), BitIsSet(bits, p - 1)};
}

QDateTime StatusClock(std::span<const quint8> reply)
{
    if (BitIsSet(ByteAt(reply, kSystemFaultByte), kClockInvalidBit))
        return {};
    return ReadStamp5(reply.first(std::min<std::size_t>(reply.size(), kStatusReplyLength)), kClockOffset);
}

quint8 StatusAlarmCondition(std::span<const quint8> reply)
{
    return ByteAt(reply, kAlarmByte);
}

quint8 StatusRelayBCondition(std::span<const quint8> reply)
{
    return ByteAt(reply, kRelayBByte);
}

bool StatusLogBlocked(std::span<const quint8> reply)
{
    return BitIsSet(ByteAt(reply, kSystemFaultByte), kLogBlockedBit);
}

const std::vector<UnitFault>& AllUnitFaults()
{
    static const std::vector<UnitFault> faults = [] {
        std::vector<UnitFault> all;
        for (int k = 0; k < kSystemFaults; ++k)
            all.push_back({0, QString::number(k)});
        for (int n = 1; n <= kStatusSensorEntries; ++n)
            all.push_back({1, QString::number(n)});
        return all;
    }();
    return faults;
}

std::vector<UnitFault> StatusFaults(std::span<const quint8> reply)
{
    std::vector<UnitFault> set;
    for (const UnitFault& fault : AllUnitFaults()) {
        if (FaultBitSet(reply, fault))
            set.push_back(fault);
    }
    return set;
}
