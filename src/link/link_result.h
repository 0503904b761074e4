#pragma once

#include <QtGlobal>

#include <array>

// The outcome of one transaction with a unit.
enum LinkResult : quint8 {
    LinkOk = 0,
    LinkNoAnswer = 1,
    LinkMenuBusy = 2,
    LinkFailure = 3,
    LinkNotSupported = 4,
};

// Every caller's reply buffer: the longest reply payload fits with room to spare.
constexpr int kReplyBufferSize = 300;
using ReplyBuffer = std::array<quint8, kReplyBufferSize>;
