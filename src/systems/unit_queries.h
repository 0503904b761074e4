#pragma once

#include <link/frame.h>
#include <link/link_result.h>
#include <scan/identify_reply.h>

#include <QString>

// The commands the systems list sends while it adds a unit, and the reading of their replies.
constexpr quint8 CmdReadModel = 14;
constexpr quint8 CmdReadSettingsBlock = 20;

constexpr int kSettingsBlockSize = 256;
constexpr int kSettingsBlockCount = 16;

// The model name: the zero-ended text that fills the reply before its check byte.
QString DecodeModelReply(const ReplyBuffer& reply);

// The request of one settings block: byte 1 is the block number. Gives the data length.
int SettingsBlockRequest(RequestFrame& request, int block);
// The block's 256 bytes come first, then the block number that the unit echoes; a reply that
// echoes another number answers another request.
bool SettingsBlockReplyIsFor(const ReplyBuffer& reply, int block);
