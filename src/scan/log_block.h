#pragma once

#include <QtGlobal>

#include <functional>
#include <span>

// A unit's log memory is read in halves of pages made of 44-byte blocks whose last byte is the
// XOR of the 43 before it.
namespace LogBlock44 {
constexpr int kSize = 44;
// True when the first block of the buffer carries a matching check byte.
bool ChecksumOk(std::span<const quint8> buffer);
} // namespace LogBlock44

constexpr int kLogPageSize = 528;
constexpr int kLogHalfPage = 264;

// Where a log kind keeps its entries within a block: the first one at `first` (`firstOfPage` in
// the first block of a page), then every `step` bytes up to `last`; each entry is `size` bytes.
struct LogEntryLayout
{
    int firstOfPage;
    int first;
    int last;
    int step;
    int size;
};

// Visits the entries of the blocks start / 44 to (end - 1) / 44 of a half page that begin at or
// after start and end before end, in order, handing visit their position in the half. A block
// whose check byte does not match is skipped. Returns whether any visited block was skipped.
bool VisitLogEntries(std::span<const quint8> half, bool firstHalf, int start, int end,
                     const LogEntryLayout& layout, const std::function<void(int position)>& visit);
