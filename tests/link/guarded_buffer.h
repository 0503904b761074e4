#pragma once

#include <QtGlobal>

#include <algorithm>
#include <span>
#include <vector>

// A buffer whose visible bytes are followed by guard bytes, so a test can see a write
// that strays past the end it was given.
class GuardedBuffer
{
public:
    static constexpr quint8 kFill = 0xA5;
    static constexpr std::size_t kGuard = 16;

    explicit GuardedBuffer(std::size_t size) : bytes_(size + kGuard, kFill), size_(size) {}

    std::span<quint8> Visible() { return std::span(bytes_).first(size_); }
    bool Untouched() const
    {
        return std::all_of(bytes_.begin(), bytes_.end(), [](quint8 b) { return b == kFill; });
    }
    bool GuardIntact() const
    {
        return std::all_of(bytes_.begin() + qsizetype(size_), bytes_.end(),
                           [](quint8 b) { return b == kFill; });
    }

private:
    std::vector<quint8> bytes_;
    std::size_t size_;
};
