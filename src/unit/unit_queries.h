#pragma once

#include <link/frame.h>
#include <link/identify_reply.h>
#include <link/link_result.h>
#include <link/model_reply.h>
#include <link/unit_command.h>

// The settings blocks that the systems list and the settings change read, with the identify and
// model replies that both ask for first.

constexpr int kSettingsBlockSize = 256;
constexpr int kSettingsBlockCount = 16;

// The request of one settings block: byte 1 is the block number. Gives the data length.
int SettingsBlockRequest(RequestFrame& request, int block);
// The block's 256 bytes come first, then the block number that the unit echoes; a reply that
// echoes another number answers another request.
bool SettingsBlockReplyIsFor(const ReplyBuffer& reply, int block);
