#include "unit_state_file.h"

#include "settings_image.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>

namespace unitsim {

namespace {
constexpr char kMagic[] = "telvaron-unitsim-state";
constexpr qint32 kVersion = 1;
constexpr auto kStreamVersion = QDataStream::Qt_6_4;
// Jitter between reading the two clocks must not count as the unit's clock being set.
constexpr qint64 kClockSetMs = 2000;

QString Serial(const UnitModel& model)
{
    return model.State().identity.serialNumber;
}
} // namespace

UnitStateFile::UnitStateFile(const QString& path, UnitModel& model, SettingsMemory& settings, LogMemory& logs)
    : path_(path), model_(model), settings_(settings), logs_(logs)
{
}

QByteArray UnitStateFile::Fingerprint(const LiveKept& kept) const
{
    LiveKept still = kept;
    still.clockUtc = {};
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << still << settings_.Image();
    return bytes;
}

bool UnitStateFile::Load(const QDateTime& nowUtc, LiveKept* kept, bool* found, QString* error)
{
    QFile file(path_);
    *found = file.exists();
    if (!*found)
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path_ + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QDataStream in(&file);
    in.setVersion(kStreamVersion);
    QByteArray magic, image, logBytes;
    qint32 version = 0;
    QString serial;
    QDateTime savedAtUtc;
    LiveKept read;
    in >> magic >> version;
    if (in.status() == QDataStream::Ok && magic == kMagic && version == kVersion)
        in >> serial >> savedAtUtc >> read >> image >> logBytes;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion ||
        !read.clockUtc.isValid() || image.size() != kSettingsImageSize) {
        *error = path_ + QStringLiteral(" holds no unit memory that this simulator can read");
        return false;
    }
    if (serial != Serial(model_)) {
        *error = QStringLiteral("%1 holds the memory of unit %2, not %3").arg(path_, serial, Serial(model_));
        return false;
    }
    QByteArray logData = qUncompress(logBytes);
    QDataStream logIn(&logData, QIODevice::ReadOnly);
    logIn.setVersion(kStreamVersion);
    if (!logs_.Restore(logIn)) {
        *error = path_ + QStringLiteral(": the unit's logs cannot be read");
        return false;
    }
    settings_.SetImage(image);
    read.clockUtc = read.clockUtc.addMSecs(std::max<qint64>(0, savedAtUtc.msecsTo(nowUtc)));
    model_.Update([&](UnitState& s) { s.clock = UnitWallClock(read.clockUtc); });
    *kept = read;
    savedWrites_ = logs_.Writes();
    savedFingerprint_ = Fingerprint(read);
    savedAheadMs_ = nowUtc.msecsTo(read.clockUtc);
    return true;
}

bool UnitStateFile::SaveIfChanged(const LiveKept& kept, const QDateTime& nowUtc, QString* error)
{
    const quint64 writes = logs_.Writes();
    const QByteArray fingerprint = Fingerprint(kept);
    const qint64 aheadMs = nowUtc.msecsTo(kept.clockUtc);
    if (!savedFingerprint_.isEmpty() && writes == savedWrites_ && fingerprint == savedFingerprint_ &&
        std::abs(aheadMs - savedAheadMs_) < kClockSetMs)
        return true;
    QByteArray logData;
    QDataStream logOut(&logData, QIODevice::WriteOnly);
    logOut.setVersion(kStreamVersion);
    logs_.Save(logOut);
    QSaveFile file(path_);
    QDataStream out(&file);
    out.setVersion(kStreamVersion);
    if (file.open(QIODevice::WriteOnly)) {
        out << QByteArray(kMagic) << kVersion << Serial(model_) << nowUtc << kept << settings_.Image()
            << qCompress(logData);
    }
    if (!file.isOpen() || out.status() != QDataStream::Ok || !file.commit()) {
        *error = path_ + QStringLiteral(": ") + file.errorString();
        return false;
    }
    savedWrites_ = writes;
    savedFingerprint_ = fingerprint;
    savedAheadMs_ = aheadMs;
    return true;
}

} // namespace unitsim
