#pragma once

#include <link/link_result.h>
#include <unit/settings_image_layout.h>

#include <functional>

class UnitLink;

// Reads the unit's whole settings image, block by block, over a link element that the caller has
// opened or connected. progress hears the number of blocks read so far after each one. Stops at the
// first block that fails; a reply for another block counts as LinkFailure. The image is complete
// only after LinkOk.
LinkResult ReadSettingsImage(UnitLink& link, quint8 linkSerial, int port, SettingsImage& image,
                             const std::function<void(int blocksRead)>& progress = {});
