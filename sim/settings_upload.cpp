#include "settings_upload.h"

#include "settings_image.h"
#include "settings_memory.h"
#include "unit_model.h"
#include "unit_simulator.h"

namespace unitsim {

namespace {
constexpr quint8 kBeginUpload = 11, kCommitSettings = 19;
constexpr quint8 kDone = 0xFF, kRefused = 0x00, kMenuBusy = 0xFA;
constexpr int kRecordBytes = 16;
constexpr int kRecords = kSettingsImageSize / kRecordBytes;
constexpr char kTaken = '~', kRefusedRecord = '@';

// The unit's digit substitution; it is its own inverse.
char Unscrambled(char c)
{
    static const QByteArray from = QByteArrayLiteral("0123456789ABCDEF");
    static const QByteArray to = QByteArrayLiteral("8976543201DFEACB");
    const qsizetype at = from.indexOf(c);
    return at < 0 ? c : to[at];
}

// The bytes of a record line (":" then hex pairs), or nothing when it is not one or its
// checksum fails.
std::optional<QByteArray> RecordBytes(const QByteArray& line)
{
    QByteArray plain;
    for (char c : line)
        plain.append(Unscrambled(c));
    if (!plain.startsWith(':') || plain.size() % 2 != 1)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(plain.mid(1));
    if (bytes.size() * 2 != plain.size() - 1 || bytes.size() < 5)
        return std::nullopt;
    quint8 sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    if (sum != 0 || quint8(bytes[0]) != bytes.size() - 5)
        return std::nullopt;
    return bytes;
}

bool Busy(const UnitModel& model)
{
    return model.State().mode == UnitMode::MenuBusy;
}

CommandAnswer Answer(quint8 byte)
{
    return CommandAnswer::Data(QByteArray(1, char(byte)));
}
} // namespace

SettingsUpload::SettingsUpload(UnitModel& model, SettingsMemory& memory, int lapseMs)
    : model_(model), memory_(memory), lapseMs_(lapseMs)
{
}

void SettingsUpload::SetFaults(const UploadFaults& faults)
{
    QMutexLocker lock(&mutex_);
    faults_ = faults;
}

int SettingsUpload::Commits() const
{
    QMutexLocker lock(&mutex_);
    return commits_;
}

CommandAnswer SettingsUpload::Begin(const QByteArray&)
{
    QMutexLocker lock(&mutex_);
    complete_ = false;
    if (!prepared_) {
        prepared_ = true;
        return Answer(kDone);
    }
    prepared_ = false;
    textInput_ = true;
    line_.clear();
    lastByteMs_ = -1;
    pending_ = memory_.Image();
    received_ = QByteArray(kRecords, '\0');
    record_ = 0;
    return Answer(kDone);
}

CommandAnswer SettingsUpload::Commit(const QByteArray& request)
{
    QMutexLocker lock(&mutex_);
    const bool twenty = model_.State().identity.sensorCount == kUnitSensorSlots;
    if (!complete_ || faults_.refuseCommit || !SettingsChecksumHolds(pending_, twenty))
        return Answer(kRefused);
    complete_ = false;
    memory_.SetImage(pending_);
    const auto at = [&](int i) { return int(quint8(request.at(i))); };
    model_.Update([&](UnitState& s) {
        s.clock = QDateTime(QDate(2000 + at(5), at(4), at(3)), QTime(at(1), at(2)), Qt::UTC);
        s.clockInvalid = !s.clock.isValid();
    });
    ++commits_;
    return Answer(kDone);
}

bool SettingsUpload::Takes(qint64 nowMs)
{
    QMutexLocker lock(&mutex_);
    if (textInput_ && lastByteMs_ >= 0 && nowMs - lastByteMs_ > lapseMs_)
        textInput_ = false;
    return textInput_;
}

SimActions SettingsUpload::Receive(QByteArrayView bytes, qint64 nowMs)
{
    QMutexLocker lock(&mutex_);
    lastByteMs_ = nowMs;
    SimActions out;
    for (char c : bytes) {
        if (!textInput_)
            break; // what follows a refusal or the end record is void
        if (c == '\r')
            continue;
        if (c != '\n') {
            line_.append(c);
            continue;
        }
        const QByteArray answer = TakeLine(line_);
        line_.clear();
        if (!answer.isEmpty())
            out.push_back(SimAction::Write(answer));
    }
    return out;
}

QByteArray SettingsUpload::TakeLine(const QByteArray& line)
{
    const int n = record_++;
    if (faults_.silentFromRecord >= 0 && n >= faults_.silentFromRecord)
        return {};
    const auto bytes = RecordBytes(line);
    bool taken = bytes && n != faults_.refuseRecord;
    if (taken && quint8(bytes->at(3)) == 0x00) {
        const int address = quint8(bytes->at(1)) << 8 | quint8(bytes->at(2));
        taken = bytes->size() == kRecordBytes + 5 && address % kRecordBytes == 0 &&
                address + kRecordBytes <= kSettingsImageSize;
        if (taken) {
            pending_.replace(address, kRecordBytes, bytes->mid(4, kRecordBytes));
            received_[address / kRecordBytes] = 1;
        }
    } else if (taken && quint8(bytes->at(3)) == 0x01) {
        taken = !received_.contains('\0');
        complete_ = taken;
        textInput_ = false;
    } else {
        taken = false;
    }
    if (!taken)
        textInput_ = false;
    return QByteArray(1, taken ? kTaken : kRefusedRecord);
}

void InstallSettingsUpload(UnitSimulator& sim, UnitModel& model, SettingsUpload& upload)
{
    sim.SetHandler(kBeginUpload, [&model, &upload](const QByteArray& r) {
        return Busy(model) ? CommandAnswer::StatusOnly(kMenuBusy) : upload.Begin(r);
    });
    sim.SetHandler(kCommitSettings, [&model, &upload](const QByteArray& r) {
        return Busy(model) ? CommandAnswer::StatusOnly(kMenuBusy) : upload.Commit(r);
    });
    sim.SetRawInput(&upload);
}

} // namespace unitsim
