#include "sim_reply_lengths.h"

#include <QHash>

namespace unitsim {

int ReplyLength(quint8 command)
{
    static const QHash<quint8, int> lengths = {
        {0x01, 101},                                    // sensor configuration
        {0x02, 28},                                     // power configuration
        {0x03, 265},                                    // half a 528-byte log page and its check byte
        {0x04, 16},  {0x05, 2},  {0x06, 2},             // relay B
        {0x07, 34},                                     // identify
        {0x08, 10},  {0x09, 2},                         // alarm condition
        {0x0A, 16},                                     // programming status
        {0x0B, 2},                                      // begin settings upload
        {0x0C, 11},  {0x0D, 4},  {0x0E, 33},            // model
        {0x0F, 21},                                     // sensor types
        {0x10, 20},  {0x11, 40}, {0x12, 11}, {0x13, 2}, // commit settings
        {0x14, 258},                                    // settings block of 256 bytes
        {0x15, 76},                                     // status
        {0x16, 261},                                    // sensor events
        {0x17, 12},                                     // power events
        {0x18, 211},                                    // all log pointers
        {0x19, 11},                                     // one log pointer
        {0x20, 2},                                      // sensor alarm
    };
    return lengths.value(command, 0);
}

} // namespace unitsim
