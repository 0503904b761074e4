#include "settings_memory.h"

#include "unit_model.h"
#include "unit_simulator.h"

namespace unitsim {

namespace {
constexpr quint8 kReadModel = 14, kReadSettingsBlock = 20;
constexpr quint8 kMenuBusy = 0xFA, kNotSupported = 0xF9;
constexpr int kModelField = 32;

bool Busy(const UnitModel& model)
{
    return model.State().mode == UnitMode::MenuBusy;
}
} // namespace

QByteArray SettingsMemory::Image() const
{
    QMutexLocker lock(&mutex_);
    return image_;
}

void SettingsMemory::SetImage(const QByteArray& image)
{
    QByteArray sized = image.left(kSettingsImageSize);
    sized.append(QByteArray(kSettingsImageSize - sized.size(), '\0'));
    QMutexLocker lock(&mutex_);
    image_ = sized;
}

CommandAnswer SettingsMemory::ReadBlock(const QByteArray& request) const
{
    const int block = quint8(request.at(1));
    if (block >= kSettingsBlocks)
        return CommandAnswer::StatusOnly(kNotSupported);
    QMutexLocker lock(&mutex_);
    return CommandAnswer::Data(image_.mid(block * kSettingsBlockSize, kSettingsBlockSize) + char(block));
}

CommandAnswer ReadModel(const UnitModel& model)
{
    QByteArray payload(kModelField, '\0');
    const QByteArray name = model.State().identity.model.toLatin1().left(kModelField - 1);
    payload.replace(0, name.size(), name);
    return CommandAnswer::Data(payload);
}

void InstallSettingsCommands(UnitSimulator& sim, UnitModel& model, SettingsMemory& memory)
{
    sim.SetHandler(kReadModel, [&model](const QByteArray&) {
        return Busy(model) ? CommandAnswer::StatusOnly(kMenuBusy) : ReadModel(model);
    });
    sim.SetHandler(kReadSettingsBlock, [&model, &memory](const QByteArray& r) {
        return Busy(model) ? CommandAnswer::StatusOnly(kMenuBusy) : memory.ReadBlock(r);
    });
}

} // namespace unitsim
