#include "log_block.h"

#include <link/frame.h>

bool LogBlock44::ChecksumOk(std::span<const quint8> buffer)
{
    return buffer.size() >= std::size_t(LogBlock44::kSize) &&
           XorOf(buffer.first(LogBlock44::kSize - 1)) == buffer[LogBlock44::kSize - 1];
}

bool VisitLogEntries(std::span<const quint8> half, bool firstHalf, int start, int end,
                     const LogEntryLayout& layout, const std::function<void(int position)>& visit)
{
    end = std::min<int>(end, int(half.size()));
    if (start < 0 || end < 1)
        return false;
    bool bad = false;
    for (int b = start / LogBlock44::kSize; b <= (end - 1) / LogBlock44::kSize; ++b) {
        const int base = b * LogBlock44::kSize;
        if (!LogBlock44::ChecksumOk(half.subspan(std::size_t(base)))) {
            bad = true;
            continue;
        }
        for (int p = b == 0 && firstHalf ? layout.firstOfPage : layout.first; p <= layout.last;
             p += layout.step) {
            if (base + p >= start && base + p + layout.size <= end)
                visit(base + p);
        }
    }
    return bad;
}
