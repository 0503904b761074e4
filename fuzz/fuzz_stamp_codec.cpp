// Time-stamps at every start index: any bytes give a valid time, a field outside the buffer none.
#include "fuzz_support.h"
#include "stamp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    const std::span<const quint8> buffer(data, size);
    const auto fits = [&](qsizetype start, qsizetype length) {
        return start >= 0 && start + length <= qsizetype(size);
    };
    ForEveryStart(buffer, [&](qsizetype start) {
        Require(ReadStamp5(buffer, start).isValid() == fits(start, 5));
        Require(ReadStamp4(buffer, start).isValid() == fits(start, 4));
        const StampAndFlag record = ReadStampAndFlag(buffer, start);
        Require(record.Stamp.isValid() == fits(start, 6));
        Require(!record.SummerTime || fits(start, 6));
    });
    return 0;
}
