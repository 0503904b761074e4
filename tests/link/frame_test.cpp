#include "frame.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<quint8>;

TEST(Frame, CompletingClearsUnusedDataAndSetsTheCheckByte)
{
    struct Case
    {
        int dataLength;
        Bytes expected;
    };
    // The caller's frame holds the command 21 and data 1 to 14 before completion.
    const Case cases[] = {
        {1, {21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21}},
        {3, {21, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21 ^ 1 ^ 2}},
        {14,
         {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
          21 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 6 ^ 7 ^ 8 ^ 9 ^ 10 ^ 11 ^ 12 ^ 13}},
        {0, {21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21}}, // clamped to the command byte
        {99,
         {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
          21 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 6 ^ 7 ^ 8 ^ 9 ^ 10 ^ 11 ^ 12 ^ 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataLength);
        RequestFrame frame = {21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        CompleteRequestFrame(frame, c.dataLength);
        EXPECT_EQ(Bytes(frame.begin(), frame.end()), c.expected);
        EXPECT_EQ(XorOf(frame), 0);
    }
}

TEST(Frame, PayloadCheck)
{
    struct Case
    {
        Bytes payload;
        bool ok;
    };
    const Case cases[] = {
        {{}, false},
        {{0x00}, true},
        {{0x01}, false},
        {{0x01, 0x02, 0x03}, true},
        {{0x01, 0x02, 0x04}, false},
        {{0xFC, 0x10, 0xEC}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.payload));
        EXPECT_EQ(PayloadCheckOk(c.payload), c.ok);
    }
}
