#pragma once

#include "sim_action.h"

#include <QByteArrayView>

namespace unitsim {

// Input that the unit takes as it comes instead of as request frames, such as the text records
// of a settings upload. Called in the simulator's thread.
class RawInput
{
public:
    virtual ~RawInput() = default;
    // Whether bytes that arrive now, between requests, are this input's.
    virtual bool Takes(qint64 nowMs) = 0;
    virtual SimActions Receive(QByteArrayView bytes, qint64 nowMs) = 0;
};

} // namespace unitsim
