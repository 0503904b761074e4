// Reply payload check and request frame completion.
#include "frame.h"
#include "fuzz_support.h"
#include "reply_length.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    const std::span<const quint8> payload(data, size);
    Require(PayloadCheckOk(payload) == (size > 0 && XorOf(payload) == 0));

    if (size > 0) {
        Require(ReplyLength(data[0]) >= 0 && ReplyLength(data[0]) <= 265);
        RequestFrame frame{};
        std::copy_n(data, std::min(size, frame.size()), frame.begin());
        CompleteRequestFrame(frame, size > 1 ? data[1] - 64 : 1);
        Require(XorOf(frame) == 0);
        Require(frame[0] == data[0]);
    }
    return 0;
}
