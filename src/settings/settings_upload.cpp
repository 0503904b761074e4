#include "settings_upload.h"

#include <link/event_wait.h>
#include <link/hex_text.h>
#include <link/transport.h>
#include <link/unit_link.h>
#include <unit/settings_image_read.h>

#include <algorithm>

namespace {

constexpr char kLineEnd[] = "\r\n";

QByteArray Wire(const QString& record)
{
    return ScrambleHexDigits(record + IntelHexChecksum(record)).toLatin1() + kLineEnd;
}

} // namespace

QByteArray UploadRecord(std::span<const quint8> image, int record)
{
    const int address = record * kUploadRecordBytes;
    QString text = QStringLiteral(":%1%2%3").arg(Hex2(kUploadRecordBytes), Hex2(quint8(address >> 8)),
                                                 Hex2(quint8(address)));
    text += QStringLiteral("00");
    for (int i = 0; i < kUploadRecordBytes; ++i)
        text += Hex2(image[address + i]);
    return Wire(text);
}

QByteArray UploadEndRecord()
{
    return Wire(QStringLiteral(":00000001"));
}

int CommitRequest(RequestFrame& request, const QDateTime& clock)
{
    const QDate d = clock.date();
    const QTime t = clock.time();
    request = {CmdCommitSettings, quint8(t.hour()),  quint8(t.minute()),
               quint8(d.day()),   quint8(d.month()), quint8(d.year() - 2000)};
    return 6;
}

SettingsUpload::SettingsUpload(UnitLink& link, quint8 linkSerial, int port, int recordReplyWait)
    : link_(link), linkSerial_(linkSerial), port_(port), recordReplyWait_(recordReplyWait)
{
}

UploadOutcome SettingsUpload::Send(const SettingsImage& image, const CommitClock& clock,
                                   const UploadProgress& progress)
{
    using Step = UploadOutcome::Step;
    quint8 answer = 0;
    // The first command 11 prepares the unit; its repetition, byte by byte, opens the text input.
    for (const bool blockMode : {true, false}) {
        RequestFrame begin{CmdBeginSettingsUpload};
        const LinkResult r = Ask(begin, 1, blockMode, answer);
        if (r != LinkOk || answer != kUnitDone)
            return {Step::Begin, r};
    }
    if (const UploadOutcome sent = SendRecords(image, progress); sent.step != Step::Done)
        return sent;

    RequestFrame commit{};
    const LinkResult r = Ask(commit, CommitRequest(commit, clock()), true, answer);
    if (r != LinkOk || answer != kUnitDone)
        return {Step::Commit, r};

    SettingsImage back{};
    const LinkResult read = ReadSettingsImage(link_, linkSerial_, port_, back, progress.verifying);
    if (read != LinkOk)
        return {Step::ReadBack, read};
    if (back != image)
        return {Step::Mismatch};
    return {};
}

LinkResult SettingsUpload::Ask(RequestFrame& request, int dataLength, bool blockMode, quint8& answer)
{
    ReplyBuffer reply{};
    const LinkResult r = link_.DeviceTransaction(request, reply, dataLength, blockMode, linkSerial_, port_);
    answer = reply[0];
    return r;
}

UploadOutcome SettingsUpload::SendRecords(const SettingsImage& image, const UploadProgress& progress)
{
    for (int n = 0; n <= kUploadRecords; ++n) {
        const char answer = SendRecord(n < kUploadRecords ? UploadRecord(image, n) : UploadEndRecord());
        if (answer == 0)
            return {UploadOutcome::Step::Silent, LinkNoAnswer, n};
        if (answer != kRecordTaken)
            return {UploadOutcome::Step::Record, LinkOk, n};
        if (progress.sending)
            progress.sending(n + 1);
    }
    return {};
}

char SettingsUpload::SendRecord(const QByteArray& record)
{
    Transport* line = link_.Element(linkSerial_, port_);
    if (!line || !line->DiscardInput() || !line->Write(record))
        return 0;
    if (!WaitUntil(recordReplyWait_, [line] { return line->BytesAvailable() > 0 || line->Failed(); }) ||
        line->Failed())
        return 0;
    const QByteArray answer = line->ReadAll();
    return answer.isEmpty() ? 0 : answer.front();
}
