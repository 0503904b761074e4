#include "settings_image_read.h"

#include "unit_queries.h"

#include <link/unit_link.h>

#include <algorithm>

static_assert(kSettingsBlockSize * kSettingsBlockCount == kSettingsImageSize);

LinkResult ReadSettingsImage(UnitLink& link, quint8 linkSerial, int port, SettingsImage& image,
                             const std::function<void(int blocksRead)>& progress)
{
    for (int block = 0; block < kSettingsBlockCount; ++block) {
        RequestFrame request{};
        ReplyBuffer reply{};
        const int length = SettingsBlockRequest(request, block);
        const LinkResult r = link.DeviceTransaction(request, reply, length, true, linkSerial, port);
        if (r != LinkOk)
            return r;
        if (!SettingsBlockReplyIsFor(reply, block))
            return LinkFailure;
        std::copy_n(reply.begin(), kSettingsBlockSize, image.begin() + block * kSettingsBlockSize);
        if (progress)
            progress(block + 1);
    }
    return LinkOk;
}
