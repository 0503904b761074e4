#pragma once

#include <link/frame.h>
#include <link/link_result.h>
#include <link/unit_command.h>
#include <unit/settings_image_layout.h>

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <span>

class UnitLink;

// Writing a settings image into a unit, in the unit's own order: command 11 (begin) in block
// mode, then repeated in handshake mode, after which the unit takes text records; the image
// as 256 scrambled Intel HEX data records of 16 bytes, each answered "~" (taken) or "@"
// (refused), then the end-of-file record; command 19 with the clock commits the image; the
// image is read back and compared. Every choice of this exchange lives in this file.

inline constexpr quint8 kUnitDone = 0xFF; // answer byte of commands 11 and 19
inline constexpr char kRecordTaken = '~';
inline constexpr int kUploadRecordBytes = 16;
inline constexpr int kUploadRecords = int(kSettingsImageSize / kUploadRecordBytes);
inline constexpr int kRecordReplyWait = 5000; // milliseconds for each record's answer

// Record n (0 to 255) of the image, scrambled and ended by CR LF, as the wire carries it.
QByteArray UploadRecord(std::span<const quint8> image, int record);
// The end-of-file record, scrambled and ended by CR LF.
QByteArray UploadEndRecord();
// Fills the commit request (command 19, then the clock as hour, minute, day, month and
// year - 2000); returns its data length.
int CommitRequest(RequestFrame& request, const QDateTime& clock);

struct UploadOutcome
{
    enum class Step {
        Done,
        Begin,    // command 11 failed or was refused
        Record,   // a record was refused ("@") or answered with anything else
        Silent,   // a record got no answer in time
        Commit,   // command 19 failed or was refused
        ReadBack, // the image could not be read back
        Mismatch, // the image read back differs from the one sent
    };
    Step step = Step::Done;
    LinkResult link = LinkOk; // the transaction's result where a step ran one
    int record = -1;          // the record that failed, 256 for the end record
};

// The clock that goes with the commit, read when the commit is sent.
using CommitClock = std::function<QDateTime()>;

// Progress of an upload: records sent so far (of kUploadRecords + 1), then blocks read back.
struct UploadProgress
{
    std::function<void(int recordsSent)> sending;
    std::function<void(int blocksRead)> verifying;
};

// Sends an image over a link element that the caller has opened or connected.
class SettingsUpload
{
public:
    SettingsUpload(UnitLink& link, quint8 linkSerial, int port, int recordReplyWait = kRecordReplyWait);

    UploadOutcome Send(const SettingsImage& image, const CommitClock& clock,
                       const UploadProgress& progress = {});

private:
    LinkResult Ask(RequestFrame& request, int dataLength, bool blockMode, quint8& answer);
    UploadOutcome SendRecords(const SettingsImage& image, const UploadProgress& progress);
    // The unit's answer byte to one record; 0 when it stayed silent.
    char SendRecord(const QByteArray& record);

    UnitLink& link_;
    quint8 linkSerial_;
    int port_;
    int recordReplyWait_;
};
